#include "platform/paths.h"

#include <QDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

using namespace tavix;

TEST(Paths, TheDataDirectoryFollowsTheXdgRules) {
    struct Case {
        QString xdgDataHome, home, expected;
    };
    const Case cases[] = {
        {QStringLiteral("/data//here/"), QStringLiteral("/home/u"), QStringLiteral("/data/here")},
        {QStringLiteral("relative/data"), QStringLiteral("/home/u"), QStringLiteral("/home/u/.local/share")},
        {QString(), QStringLiteral("/home/u"), QStringLiteral("/home/u/.local/share")},
        {QStringLiteral("."), QString(), QString()},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(dataHomeDirectory(c.xdgDataHome, c.home), c.expected) << c.xdgDataHome.toStdString();
    }
}

TEST(Paths, WithoutHomeTheAccountsHomeFromThePasswordDatabaseServes) {
    const auto restore = [](const char* name, const QByteArray& value) {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    };
    const QByteArray home = qgetenv("HOME");
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    qunsetenv("HOME");
    qputenv("XDG_DATA_HOME", "relative");
    const QString directory = applicationSupportDirectory();
    restore("HOME", home);
    restore("XDG_DATA_HOME", dataHome);

    const struct passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(directory,
              QDir::cleanPath(QString::fromLocal8Bit(account->pw_dir) + QStringLiteral("/.local/share")));
}
