#include "model/appstate.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;

namespace {
const QString kCorpusPreserved =
    QStringLiteral("⚠️ Saved app state could not be decoded and was preserved: ");

// Starts a store on `bytes` and checks that they were kept aside whole and Clock 1 started.
void expectPreservedAndDefaults(const QByteArray& bytes, const std::string& label) {
    QTemporaryDir base;
    auto file = std::make_shared<StateFile>(base.path());
    test::writeFile(file->stateFileURL(), bytes);
    std::unique_ptr<AppState> state;
    const QStringList lines = test::capturedStdoutLines([&] {
        state = std::make_unique<AppState>(file);
        file->flushPendingWrites();
    });
    ASSERT_EQ(lines.size(), 1) << label;
    EXPECT_TRUE(lines[0].startsWith(kCorpusPreserved)) << label;
    ASSERT_EQ(state->clocks().size(), 1) << label;
    EXPECT_EQ(state->clocks()[0].name, QStringLiteral("Clock 1")) << label;
    const QDir dir(base.filePath(QStringLiteral("Tavix")));
    const QStringList kept = dir.entryList({QStringLiteral("tavix-corrupt-*.plist")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1) << label;
    EXPECT_TRUE(test::readFile(dir.filePath(kept[0])) == bytes) << label;
}
} // namespace

TEST(CorruptStateFiles, EveryFileOfTheCorpusIsKeptAsideAndStartUpUsesDefaults) {
    const QDir corpus(QStringLiteral(TAVIX_TEST_DATA_DIR "/corrupt"));
    const QStringList names = corpus.entryList(QDir::Files, QDir::Name);
    ASSERT_GE(names.size(), 50);
    for (const QString& name : names) {
        expectPreservedAndDefaults(test::readFile(corpus.filePath(name)), name.toStdString());
    }
}

TEST(CorruptStateFiles, AFileTooLargeToBeStateIsKeptAsideUnread) {
    QTemporaryDir base;
    auto file = std::make_shared<StateFile>(base.path());
    QFile big(file->stateFileURL());
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(65 * 1024 * 1024)); // sparse: costs no disk
    big.close();
    std::optional<PersistenceContainer> loaded;
    const QStringList lines = test::capturedStdoutLines([&] { loaded = file->loadSavedState(); });
    EXPECT_FALSE(loaded);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("too large")));
    EXPECT_EQ(
        QDir(base.filePath(QStringLiteral("Tavix"))).entryList({QStringLiteral("tavix-corrupt-*")}).size(),
        1);
}
