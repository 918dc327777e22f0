#include "display/colorrules.h"
#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/wallclock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>

using namespace tavix;

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Tests run with TZ=Europe/Berlin.
QDateTime berlin(int h, int m, int s, int ms = 0, QDate day = QDate(2024, 6, 12)) {
    return QDateTime(day, QTime(h, m, s, ms));
}

ClockModel clockIn(ClockMode mode) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock 1"), AppSettings{});
    clock.mode = mode;
    return clock;
}

// What a clock shows at `now`: its text, then "!" in its warning or at-target colours (text and
// outline), "~" when a flash hides it. Checks that the flash toggles while flashing and settles on
// visible otherwise.
std::string shown(const ClockModel& clock, const QDateTime& now) {
    const bool countdown = clock.mode == ClockMode::countdown;
    const auto update = [&](bool visible) {
        return countdown ? updateCountdownFlash(clock, visible) : updateTimeUntilFlash(clock, now, visible);
    };
    const DisplayContent hiddenPhase = displayContent(clock, now, false);
    EXPECT_EQ(update(true), hiddenPhase.visible);
    EXPECT_TRUE(update(false));
    const auto colours = std::pair(currentTextColor(clock, now), currentOutlineColor(clock, now));
    const auto special =
        countdown
            ? std::pair(clock.countdown->warningForegroundColor, clock.countdown->warningOutlineColor)
            : std::pair(clock.timeUntil->atTargetForegroundColor, clock.timeUntil->atTargetOutlineColor);
    EXPECT_TRUE(colours == special || colours == std::pair(clock.foregroundColor, clock.outlineColor));
    return hiddenPhase.text.toStdString() + (colours == special ? "!" : "") +
           (hiddenPhase.visible ? "" : "~");
}

} // namespace

TEST(FormatDuration, TruncatesTowardZeroSwitchesToHoursAndSurvivesAnyDouble) {
    const auto text = [](double seconds, bool showSign) {
        return formatDuration(seconds, showSign).toStdString();
    };
    EXPECT_EQ(text(59.9, false), "0:59");
    EXPECT_EQ(text(3599, false), "59:59");
    EXPECT_EQ(text(3600, false), "1:00:00");
    EXPECT_EQ(text(360000, false), "100:00:00");
    EXPECT_EQ(text(-0.999, true), "0:00"); // never "-0:00"
    EXPECT_EQ(text(-1.7, true), "-0:01");
    EXPECT_EQ(text(-61, false), "1:01");
    EXPECT_EQ(text(-3600, true), "-1:00:00");
    // Values a hand-edited file could hold give text, not undefined behaviour.
    EXPECT_EQ(text(kNan, true), "0:00");
    EXPECT_EQ(text(-kInf, true).front(), '-');
    EXPECT_EQ(text(1e300, false).find('-'), std::string::npos);
}

TEST(IsLightColor, LuminanceAboveSixTenthsIsLightAndGetsABlackTint) {
    const auto light = [](double red, double green, double blue, double alpha = 1) {
        const ColorValue colour = ColorValue::srgb(red, green, blue, alpha);
        EXPECT_EQ(controlTint(colour),
                  isLightColor(colour) ? ColorValue::black() : ColorValue::srgb(1, 1, 1, 1));
        return isLightColor(colour);
    };
    // The grey whose linearised value is 0.6 sits exactly on the threshold.
    const double edge = 1.055 * std::pow(0.6, 1 / 2.4) - 0.055;
    EXPECT_FALSE(light(edge - 1e-6, edge - 1e-6, edge - 1e-6));
    EXPECT_TRUE(light(edge + 1e-6, edge + 1e-6, edge + 1e-6));
    EXPECT_TRUE(light(1, 1, 1, 0)) << "alpha is ignored";
    EXPECT_TRUE(light(0, 1, 0)) << "green weighs 0.7152";
    EXPECT_FALSE(light(1, 0, 0)) << "red weighs 0.2126";
    EXPECT_FALSE(light(kNan, 1, 1));
}

TEST(WallClockText, MediumTimeOfTheLocaleInTheSystemZoneShiftedByTheOffset) {
    const auto text = [](const QDateTime& now, std::optional<double> offset, const char* locale) {
        return wallClockText(now, offset, QString::fromUtf8(locale)).toStdString();
    };
    const QDateTime now = berlin(14, 30, 5, 900);
    EXPECT_EQ(text(now, std::nullopt, "de_DE"), "14:30:05");
    EXPECT_EQ(text(now, -3600.0, "de_DE"), "13:30:05");
    EXPECT_EQ(text(now, 36000.0, "de_DE"), "00:30:05");
    EXPECT_EQ(text(now, kInf, "de_DE"), "14:30:05");
    EXPECT_EQ(text(now, std::nullopt, "en_US"), "2:30:05\u202FPM");
    EXPECT_EQ(text(now, std::nullopt, ""), "14:30:05");
    // 01:59:59 CET plus two seconds is 03:00:01 CEST.
    EXPECT_EQ(text(berlin(1, 59, 59, 0, QDate(2024, 3, 31)), 2.0, "de_DE"), "03:00:01");
}

TEST(WallClockText, FollowsTheCLibraryLocalTimeInEveryFormOfTZ) {
    const QByteArray saved = qgetenv("TZ");
    const char* const zones[] = {
        "CET-1CEST,M3.5.0,M10.5.0/3",  "IST-5:30",      "<+0545>-5:45",     "EST5EDT,M3.2.0,M11.1.0",
        "NZST-12NZDT,M9.5.0,M4.1.0/3", "Europe/Berlin", "America/St_Johns", "UTC0"};
    // Winter, summer, and either side of the European spring change.
    const qint64 instants[] = {1705320000, 1718193600, 1711846799, 1711846801};
    for (const char* zone : zones) {
        qputenv("TZ", zone);
        tzset();
        for (const qint64 seconds : instants) {
            const auto t = static_cast<time_t>(seconds);
            tm local{};
            localtime_r(&t, &local);
            char expected[16];
            std::strftime(expected, sizeof expected, "%H:%M:%S", &local);
            EXPECT_EQ(
                wallClockText(QDateTime::fromSecsSinceEpoch(seconds), std::nullopt, QString()).toStdString(),
                expected)
                << zone << " at " << seconds;
        }
    }
    saved.isNull() ? qunsetenv("TZ") : qputenv("TZ", saved);
    tzset();
}

TEST(CountdownRules, EveryStateOfTheTableHasItsColoursFlashAndText) {
    const auto countdown = [](double remaining, bool running, double warningTime = 60, bool flash = true) {
        ClockModel clock = clockIn(ClockMode::countdown);
        clock.countdown = CountdownSettings{1800, remaining, running, warningTime};
        clock.countdown->flashWhenDone = flash;
        return shown(clock, berlin(12, 0, 0));
    };
    EXPECT_EQ(countdown(1800, false), "30:00");
    EXPECT_EQ(countdown(61, true), "1:01");
    EXPECT_EQ(countdown(60, true), "1:00!") << "the warning band includes its edge";
    EXPECT_EQ(countdown(30.5, false), "0:30!");
    EXPECT_EQ(countdown(0, true), "0:00!");
    EXPECT_EQ(countdown(-0.4, true), "0:00!~") << "overtime flashes before -0:01 shows";
    EXPECT_EQ(countdown(-5, true, 60, false), "-0:05!");
    EXPECT_EQ(countdown(-5, false), "-0:05!") << "paused overtime is steady";
    EXPECT_EQ(countdown(0.5, true, 0), "0:00");
}

TEST(TimeUntilRules, CountsToTheTargetTodayThenNegativeWithTargetColoursAndFlash) {
    const auto timeUntil = [](const QDateTime& now, int targetHour = 18) {
        ClockModel clock = clockIn(ClockMode::timeUntil);
        clock.timeUntil->targetHour = targetHour;
        return shown(clock, now);
    };
    EXPECT_EQ(timeUntil(berlin(17, 0, 0)), "1:00:00");
    EXPECT_EQ(timeUntil(berlin(17, 59, 59, 500)), "0:00");
    EXPECT_EQ(timeUntil(berlin(18, 0, 0)), "0:00!~");
    EXPECT_EQ(timeUntil(berlin(18, 0, 30)), "-0:30!~");
    EXPECT_EQ(timeUntil(berlin(12, 0, 0), 0), "-12:00:00!~");
    // 23 hours on the day clocks are put forward, 25 on the day they are put back.
    EXPECT_EQ(timeUntil(berlin(0, 0, 0, 0, QDate(2024, 3, 31)), 23), "22:00:00");
    EXPECT_EQ(timeUntil(berlin(0, 0, 0, 0, QDate(2024, 10, 27)), 23), "24:00:00");
}
