#include "platform/paths.h"

#include <QDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(Paths, TheDataDirectoryFollowsTheXdgRules) {
    struct Case {
        QString xdgDataHome, home, expected;
    };
    const Case cases[] = {
        {u"/data//here/"_s, u"/home/u"_s, u"/data/here"_s},
        {u"relative/data"_s, u"/home/u"_s, u"/home/u/.local/share"_s},
        {QString(), u"/home/u"_s, u"/home/u/.local/share"_s},
        {u"."_s, QString(), QString()},
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
    EXPECT_EQ(directory, QDir::cleanPath(QString::fromLocal8Bit(account->pw_dir) + u"/.local/share"_s));
}
