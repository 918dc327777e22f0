#include "platform/localzone.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>

using namespace tavix;

namespace {

// Hours east of UTC that the C library's local time has at 2024-01-15 12:00 UTC.
double localOffsetHours() {
    const time_t at = 1705320000;
    tm local{};
    localtime_r(&at, &local);
    return static_cast<double>(local.tm_gmtoff) / 3600.0;
}

} // namespace

TEST(LocalZone, NamesTheLinkedZoneOnceAndFollowsTheLinkWhenTheSystemsZoneChanges) {
    const QByteArray userTz = qgetenv("TZ");
    QTemporaryDir etc;
    const QString link = etc.filePath(QStringLiteral("localtime"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/zoneinfo/Europe/Berlin"), link));

    qputenv("TZ", "UTC0");
    EXPECT_FALSE(LocalZone::nameSystemZone(link)) << "a TZ the user set stays";
    EXPECT_EQ(qgetenv("TZ"), "UTC0");
    qunsetenv("TZ");
    EXPECT_FALSE(LocalZone::nameSystemZone(etc.filePath(QStringLiteral("missing"))));
    EXPECT_FALSE(qEnvironmentVariableIsSet("TZ")) << "no zone file: UTC, as the C library has it";

    ASSERT_TRUE(LocalZone::nameSystemZone(link));
    EXPECT_EQ(qgetenv("TZ"), ":Europe/Berlin") << "named, so that ICU and Qt know the zone too";
    EXPECT_EQ(localOffsetHours(), 1.0);

    LocalZone zone(link);
    QSignalSpy changed(&zone, &LocalZone::changed);
    QFile::remove(link); // as timedatectl does: a new link in its place
    ASSERT_TRUE(QFile::link(QStringLiteral("/usr/share/zoneinfo/Asia/Tokyo"), link));
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(qgetenv("TZ"), ":Asia/Tokyo");
    EXPECT_EQ(localOffsetHours(), 9.0);

    // A copied zone file has no name to give: the C library reads the path.
    const QString copy = etc.filePath(QStringLiteral("copied"));
    ASSERT_TRUE(QFile::copy(QStringLiteral("/usr/share/zoneinfo/Asia/Kolkata"), copy));
    EXPECT_EQ(LocalZone::tzValueFor(copy),
              ':' + QDir(etc.path()).absoluteFilePath(QStringLiteral("copied")).toLocal8Bit());

    userTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", userTz);
    tzset();
}
