#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using tavix::writeFileAtomically;

namespace {
QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

TEST(AtomicFile, CreatesThenReplacesAndLeavesNoTemporaryFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.plist"));
    QString error;
    ASSERT_TRUE(writeFileAtomically(path, "first", &error)) << error.toStdString();
    EXPECT_EQ(contents(path), QByteArray("first"));
    ASSERT_TRUE(writeFileAtomically(path, QByteArray(100000, 'x'), &error));
    EXPECT_EQ(contents(path), QByteArray(100000, 'x'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("state.plist")});
}

TEST(AtomicFile, FailureKeepsTheOldFileAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.plist"));
    ASSERT_TRUE(writeFileAtomically(path, "keep me", nullptr));

    // A directory in place of the file cannot be replaced by a file.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    ASSERT_TRUE(QDir().mkpath(blocked + QStringLiteral("/inside")));
    QString error;
    EXPECT_FALSE(writeFileAtomically(blocked, "new", &error));
    EXPECT_FALSE(error.isEmpty());

    // A missing directory fails before anything is written.
    error.clear();
    EXPECT_FALSE(writeFileAtomically(dir.filePath(QStringLiteral("missing/state.plist")), "new", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("No such file or directory"))) << error.toStdString();

    EXPECT_EQ(contents(path), QByteArray("keep me"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("state.plist")});
}

namespace {
mode_t modeOf(const QString& path) {
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}
} // namespace

TEST(AtomicFile, WritesThroughLinksAndKeepsTheLinks) {
    // state -> ../synced/link -> real.plist: a dotfiles link onto a sync folder's own link.
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("app"));
    QDir(dir.path()).mkpath(QStringLiteral("synced"));
    const QString real = dir.filePath(QStringLiteral("synced/real.plist"));
    const QString link = dir.filePath(QStringLiteral("synced/link"));
    const QString state = dir.filePath(QStringLiteral("app/state.plist"));
    ASSERT_TRUE(writeFileAtomically(real, "old", nullptr));
    ASSERT_TRUE(QFile::link(QStringLiteral("real.plist"), link));
    ASSERT_TRUE(QFile::link(QStringLiteral("../synced/link"), state));
    EXPECT_EQ(tavix::finalLinkTarget(state), real);

    QString error;
    ASSERT_TRUE(writeFileAtomically(state, "new", &error)) << error.toStdString();
    EXPECT_EQ(contents(real), QByteArray("new"));
    EXPECT_EQ(QFileInfo(state).symLinkTarget(), link);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("app"))).entryList(QDir::Files | QDir::System),
              QStringList{QStringLiteral("state.plist")});

    // A link whose target is gone makes the target again.
    ASSERT_TRUE(QFile::remove(real));
    ASSERT_TRUE(writeFileAtomically(state, "again", &error)) << error.toStdString();
    EXPECT_EQ(contents(real), QByteArray("again"));
    EXPECT_TRUE(QFileInfo(state).isSymLink());
}

TEST(AtomicFile, KeepsTheModeUsesTheUmaskForNewFilesAndRefusesReadOnlyOnes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.plist"));
    const mode_t savedUmask = ::umask(027);
    const bool created = writeFileAtomically(path, "first", nullptr);
    ::umask(savedUmask);
    ASSERT_TRUE(created);
    EXPECT_EQ(modeOf(path), mode_t(0640)) << "0666 less the umask";

    for (const mode_t mode : {0600, 0664, 0604}) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
        ASSERT_TRUE(writeFileAtomically(path, "more", nullptr));
        EXPECT_EQ(modeOf(path), mode);
    }

    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
    QString error;
    EXPECT_FALSE(writeFileAtomically(path, "replaced", &error));
    EXPECT_TRUE(error.contains(QStringLiteral("read-only"))) << error.toStdString();
    EXPECT_EQ(contents(path), QByteArray("more"));
    EXPECT_EQ(modeOf(path), mode_t(0444));
}

TEST(AtomicFile, AKeptCopyNeverReplacesAFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.plist"));
    const QString copy = dir.filePath(QStringLiteral("copy.plist"));
    ASSERT_TRUE(writeFileAtomically(path, "theirs", nullptr));
    QString error;
    ASSERT_TRUE(tavix::keepCopy(path, copy, "theirs", &error)) << error.toStdString();
    ASSERT_TRUE(writeFileAtomically(path, "ours", nullptr));
    EXPECT_EQ(contents(copy), QByteArray("theirs")) << "the copy is not the state file's new content";
    EXPECT_FALSE(tavix::keepCopy(path, copy, "ours", &error));
    EXPECT_EQ(contents(copy), QByteArray("theirs"));
}
