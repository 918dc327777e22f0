#include "platform/localzone.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>

using namespace tavix;
using namespace Qt::StringLiterals;

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
    const QString link = etc.filePath(u"localtime"_s);
    ASSERT_TRUE(QFile::link(u"/usr/share/zoneinfo/Europe/Berlin"_s, link));

    qputenv("TZ", "UTC0");
    EXPECT_FALSE(LocalZone::nameSystemZone(link)) << "a TZ the user set stays";
    EXPECT_EQ(qgetenv("TZ"), "UTC0");
    qunsetenv("TZ");
    EXPECT_FALSE(LocalZone::nameSystemZone(etc.filePath(u"missing"_s)));
    EXPECT_FALSE(qEnvironmentVariableIsSet("TZ")) << "no zone file: UTC, as the C library has it";

    ASSERT_TRUE(LocalZone::nameSystemZone(link));
    EXPECT_EQ(qgetenv("TZ"), ":Europe/Berlin") << "named, so that ICU and Qt know the zone too";
    EXPECT_EQ(localOffsetHours(), 1.0);

    LocalZone zone(link);
    QSignalSpy changed(&zone, &LocalZone::changed);
    QFile::remove(link); // as timedatectl does: a new link in its place
    ASSERT_TRUE(QFile::link(u"/usr/share/zoneinfo/Asia/Tokyo"_s, link));
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(std::tuple(qgetenv("TZ"), localOffsetHours()), std::tuple(":Asia/Tokyo", 9.0));

    // A copied zone file has no name to give: the C library reads the path.
    const QString copy = etc.filePath(u"copied"_s);
    ASSERT_TRUE(QFile::copy(u"/usr/share/zoneinfo/Asia/Kolkata"_s, copy));
    EXPECT_EQ(LocalZone::tzValueFor(copy),
              ':' + QDir(etc.path()).absoluteFilePath(u"copied"_s).toLocal8Bit());

    userTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", userTz);
    tzset();
}
