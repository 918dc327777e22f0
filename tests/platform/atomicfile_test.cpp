#include "platform/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
