#include "model/statecodec.h"
#include "model/statefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>

using namespace tavix;
using namespace Qt::StringLiterals;
using tavix::test::capturedStdoutLines;

namespace {

const QString kPreserved = u"⚠️ Saved app state could not be decoded and was preserved: "_s;

// The files kept aside in `directory` as tavix-<kind>-*.plist, and their contents.
QStringList keptFiles(const QString& directory, const char* kind = "corrupt") {
    return QDir(directory).entryList({u"tavix-%1-*.plist"_s.arg(QLatin1String(kind))}, QDir::Files);
}
QList<QByteArray> keptBytes(const QString& directory, const char* kind = "corrupt") {
    QList<QByteArray> contents;
    for (const QString& name : keptFiles(directory, kind)) {
        contents.append(test::readFile(QDir(directory).filePath(name)));
    }
    return contents;
}

PersistenceContainer stateWithClocks(int count) {
    PersistenceContainer state;
    for (int i = 0; i < count; ++i) {
        state.clocks.append(ClockModel::makeNew(QUuid::createUuid(), u"Clock %1"_s.arg(i + 1), {}));
    }
    return *decodeStateFile(*encodeStateFile(state, nullptr), nullptr); // colours as they read back
}

// Saves and waits for the write; returns what it printed.
QStringList save(StateFile& file, const PersistenceContainer& state) {
    return capturedStdoutLines([&] {
        file.save(state.clocks, state.settings);
        file.flushPendingWrites();
    });
}

/// Sets `error` to `why` and fails.
bool failure(QString* error, const char* why) {
    *error = QString::fromUtf8(why);
    return false;
}

// Moves and writes fail on demand, so that an unreadable file cannot be moved aside.
class FlakyFiles : public FileOperations {
public:
    std::atomic<bool> failMoves{false};
    std::atomic<bool> failWrites{false};
    bool moveFile(const QString& from, const QString& to, QString* error) override {
        return failMoves ? failure(error, "Operation not permitted")
                         : FileOperations::moveFile(from, to, error);
    }
    bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error) override {
        return failWrites ? failure(error, "No space left on device")
                          : FileOperations::writeFileAtomically(path, bytes, error);
    }
};

} // namespace

TEST(StateFile, LivesUnderTavixInTheDataDirectoryAndNoFileGivesNoStateAndOldTemporaryFilesGo) {
    QTemporaryDir base;
    StateFile file(base.filePath(u"data"_s));
    EXPECT_EQ(file.stateFileURL(), base.filePath(u"data/Tavix/tavix.plist"_s)) << "the folder is made";
    // Left by writes that a kill interrupted: an old one goes, a fresh one may still be in use.
    const QString old = file.stateFileURL() + u".tmp-AAAAAA"_s;
    const QString fresh = file.stateFileURL() + u".tmp-BBBBBB"_s;
    test::writeFile(old, "partial");
    test::writeFile(fresh, "partial");
    QFile oldFile(old);
    ASSERT_TRUE(oldFile.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        oldFile.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    oldFile.close();
    std::optional<PersistenceContainer> loaded = PersistenceContainer();
    EXPECT_TRUE(capturedStdoutLines([&] { loaded = file.loadSavedState(); }).isEmpty());
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(keptFiles(base.filePath(u"data/Tavix"_s)).isEmpty());
    EXPECT_EQ(std::tuple(QFileInfo::exists(old), QFileInfo::exists(fresh)), std::tuple(false, true));
}

// The name, the message and the start after it are the corrupt-corpus drill's part, one file per
// start; here several in one second, which must not take one another's place.
TEST(StateFile, UnreadableFilesAreMovedAsideUnderDistinctNames) {
    QTemporaryDir base;
    StateFile file(base.path());
    const QString dir = base.filePath(u"Tavix"_s);
    const QByteArray missingKey = [] {
        QByteArray bytes = *encodeStateFile(stateWithClocks(2), nullptr);
        return bytes.replace("<key>defaultOpacity</key>", "<key>defaultOpacityX</key>");
    }();
    const QList<QByteArray> inputs = {QByteArray(), QByteArray("garbage"), missingKey};
    for (const QByteArray& bytes : inputs) {
        test::writeFile(file.stateFileURL(), bytes);
        capturedStdoutLines([&] { EXPECT_FALSE(file.loadSavedState()); });
        EXPECT_FALSE(QFileInfo::exists(file.stateFileURL()));
    }
    EXPECT_THAT(keptBytes(dir), ::testing::UnorderedElementsAreArray(inputs));
}

// Every file of the corrupt corpus is kept aside whole by the corrupt-corpus drill; one too large to
// read is made here, sparse, so that it costs no disk.
TEST(StateFile, AFileTooLargeToBeStateIsKeptAsideUnread) {
    QTemporaryDir base;
    StateFile file(base.path());
    QFile big(file.stateFileURL());
    ASSERT_TRUE(big.open(QIODevice::WriteOnly) && big.resize(65 * 1024 * 1024));
    big.close();
    std::optional<PersistenceContainer> loaded;
    const QStringList lines = capturedStdoutLines([&] { loaded = file.loadSavedState(); });
    EXPECT_FALSE(loaded);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(u"too large"_s));
    EXPECT_EQ(keptFiles(base.filePath(u"Tavix"_s)).size(), 1);
}

TEST(StateFile, AnUnreadableFileThatCouldNotBeMovedIsNeverOverwrittenUnkept) {
    QTemporaryDir base;
    auto files = std::make_shared<FlakyFiles>();
    StateFile file(base.path(), files);
    const QString dir = base.filePath(u"Tavix"_s);
    test::writeFile(file.stateFileURL(), "the user's only copy");

    files->failMoves = true;
    QStringList lines = capturedStdoutLines([&] { EXPECT_FALSE(file.loadSavedState()); });
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].startsWith(u"❌ Failed to preserve unreadable app state: "_s));
    EXPECT_TRUE(lines[1].startsWith(kPreserved));

    // Neither move nor copy can keep it: the save is refused and the bytes stay where they are.
    files->failWrites = true;
    const PersistenceContainer state = stateWithClocks(1);
    lines = save(file, state);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(u"❌ Failed to save app state: "_s));
    EXPECT_EQ(test::readFile(file.stateFileURL()), QByteArray("the user's only copy"));

    // Copying works again (moves still fail): the bytes are kept aside first, then the state is written.
    files->failWrites = false;
    lines = save(file, state);
    EXPECT_TRUE(lines.isEmpty());
    EXPECT_EQ(keptBytes(dir), QList<QByteArray>{"the user's only copy"});
    EXPECT_EQ(StateFile(base.path()).loadSavedState(), state);

    // Later saves just write.
    save(file, state);
    EXPECT_EQ(keptFiles(dir).size(), 1);
}

namespace {

class NoCopies : public FileOperations {
public:
    bool keepCopy(const QString&, const QString&, const QByteArray&, QString* error) override {
        return failure(error, "Operation not permitted");
    }
};

} // namespace

TEST(StateFile, OnlyAnOutsideVersionCountsAsAChangeAndOneThatCannotBeKeptIsNotOverwritten) {
    {
        // What Tavix read and what it wrote itself are no outside change: nothing is kept or refused.
        QTemporaryDir base;
        StateFile file(base.path(), std::make_shared<NoCopies>());
        QDir().mkpath(QFileInfo(file.stateFileURL()).path());
        test::writeFile(file.stateFileURL(), *encodeStateFile(stateWithClocks(2), nullptr));
        ASSERT_TRUE(file.loadSavedState());
        EXPECT_THAT(save(file, stateWithClocks(1)), testing::IsEmpty());
        EXPECT_THAT(save(file, stateWithClocks(3)), testing::IsEmpty());
        EXPECT_FALSE(file.lastWriteFailed());
    }
    QTemporaryDir base;
    StateFile file(base.path(), std::make_shared<NoCopies>());
    EXPECT_FALSE(file.loadSavedState()); // no file: a file that appears later is someone else's
    test::writeFile(file.stateFileURL(), "created by a sync tool");
    const PersistenceContainer state = stateWithClocks(1);
    const QStringList lines = save(file, state);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("❌ Failed to save app state: the state file was changed "
                                                   "outside Tavix and could not be kept aside")))
        << lines[0].toStdString();
    EXPECT_EQ(test::readFile(file.stateFileURL()), QByteArray("created by a sync tool"));
    EXPECT_TRUE(file.lastWriteFailed());
}

TEST(StateFile, ALinkedStateFileStaysALinkAndAnUnreadableTargetIsKeptBesideIt) {
    QTemporaryDir base;
    const QString dir = base.filePath(u"Tavix"_s);
    const QString synced = base.filePath(u"Sync"_s);
    QDir().mkpath(dir);
    QDir().mkpath(synced);
    const QString target = QDir(synced).filePath(u"tavix.plist"_s);
    test::writeFile(target, "unreadable");
    ASSERT_TRUE(QFile::link(u"../Sync/tavix.plist"_s, QDir(dir).filePath(u"tavix.plist"_s)));

    StateFile file(base.path());
    capturedStdoutLines([&] { EXPECT_FALSE(file.loadSavedState()); });
    EXPECT_EQ(keptBytes(synced), QList<QByteArray>{"unreadable"})
        << "kept beside the file the link points to";
    // What is written through the link is the atomic file's test; here the link must survive.
    save(file, stateWithClocks(1));
    EXPECT_TRUE(QFileInfo(file.stateFileURL()).isSymLink());
}
