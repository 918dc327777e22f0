#include "platform/paths.h"

#include <QDir>

#include <gtest/gtest.h>

#include <tuple>

#include <pwd.h>
#include <unistd.h>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(Paths, TheDataDirectoryFollowsTheXdgRules) {
    // XDG_DATA_HOME, HOME, the data directory.
    const std::tuple<QString, QString, QString> cases[] = {
        {u"/data//here/"_s, u"/home/u"_s, u"/data/here"_s},
        {u"relative/data"_s, u"/home/u"_s, u"/home/u/.local/share"_s},
        {QString(), u"/home/u"_s, u"/home/u/.local/share"_s},
        {u"."_s, QString(), QString()}};
    for (const auto& [xdgDataHome, home, expected] : cases) {
        EXPECT_EQ(dataHomeDirectory(xdgDataHome, home), expected) << xdgDataHome.toStdString();
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
