#include "platform/atomicfile.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

using tavix::writeFileAtomically;

TEST(AtomicFile, ReplacesWholeAndAFailureKeepsTheOldFileAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"state.plist"_s);
    QString error;
    ASSERT_TRUE(writeFileAtomically(path, QByteArray(100000, 'x'), &error)) << error.toStdString();
    ASSERT_TRUE(writeFileAtomically(path, "keep me", &error)) << error.toStdString();
    EXPECT_EQ(tavix::test::readFile(path), QByteArray("keep me"));

    // A directory in place of the file cannot be replaced by a file.
    const QString blocked = dir.filePath(u"blocked"_s);
    ASSERT_TRUE(QDir().mkpath(blocked + u"/inside"_s));
    EXPECT_FALSE(writeFileAtomically(blocked, "new", &error));
    EXPECT_FALSE(error.isEmpty());

    // A missing directory fails before anything is written.
    error.clear();
    EXPECT_FALSE(writeFileAtomically(dir.filePath(u"missing/state.plist"_s), "new", &error));
    EXPECT_TRUE(error.contains(u"No such file or directory"_s)) << error.toStdString();

    EXPECT_EQ(tavix::test::readFile(path), QByteArray("keep me"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{u"state.plist"_s});
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
    QDir(dir.path()).mkpath(u"app"_s);
    QDir(dir.path()).mkpath(u"synced"_s);
    const QString real = dir.filePath(u"synced/real.plist"_s);
    const QString link = dir.filePath(u"synced/link"_s);
    const QString state = dir.filePath(u"app/state.plist"_s);
    ASSERT_TRUE(writeFileAtomically(real, "old", nullptr));
    ASSERT_TRUE(QFile::link(u"real.plist"_s, link));
    ASSERT_TRUE(QFile::link(u"../synced/link"_s, state));
    EXPECT_EQ(tavix::finalLinkTarget(state), real);

    QString error;
    ASSERT_TRUE(writeFileAtomically(state, "new", &error)) << error.toStdString();
    EXPECT_EQ(tavix::test::readFile(real), QByteArray("new"));
    EXPECT_EQ(QFileInfo(state).symLinkTarget(), link);
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QDir(dir.filePath(u"app"_s)).entryList(QDir::Files | QDir::System),
              QStringList{u"state.plist"_s});

    // A link whose target is gone makes the target again.
    ASSERT_TRUE(QFile::remove(real));
    ASSERT_TRUE(writeFileAtomically(state, "again", &error)) << error.toStdString();
    EXPECT_EQ(tavix::test::readFile(real), QByteArray("again"));
    EXPECT_TRUE(QFileInfo(state).isSymLink());
}

TEST(AtomicFile, KeepsTheModeUsesTheUmaskForNewFilesAndRefusesReadOnlyOnes) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"state.plist"_s);
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
    EXPECT_TRUE(error.contains(u"read-only"_s)) << error.toStdString();
    EXPECT_EQ(tavix::test::readFile(path), QByteArray("more"));
    EXPECT_EQ(modeOf(path), mode_t(0444));
}

TEST(AtomicFile, AKeptCopyNeverReplacesAFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"state.plist"_s);
    const QString copy = dir.filePath(u"copy.plist"_s);
    ASSERT_TRUE(writeFileAtomically(path, "theirs", nullptr));
    QString error;
    ASSERT_TRUE(tavix::keepCopy(path, copy, "theirs", &error)) << error.toStdString();
    ASSERT_TRUE(writeFileAtomically(path, "ours", nullptr));
    EXPECT_EQ(tavix::test::readFile(copy), QByteArray("theirs"))
        << "the copy is not the state file's new content";
    EXPECT_FALSE(tavix::keepCopy(path, copy, "ours", &error));
    EXPECT_EQ(tavix::test::readFile(copy), QByteArray("theirs"));
}
