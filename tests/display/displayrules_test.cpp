#include "display/colorrules.h"
#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/wallclock.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavix;

namespace {

// Tests run with TZ=Europe/Berlin.
QDateTime berlin(int h, int m, int s, int ms = 0, QDate day = QDate(2024, 6, 12)) {
    return QDateTime(day, QTime(h, m, s, ms));
}

ClockModel clockIn(ClockMode mode) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock 1"), AppSettings{});
    clock.mode = mode;
    return clock;
}

} // namespace

TEST(FormatDuration, TruncatesTowardZeroAndSwitchesToHoursAtOneHour) {
    struct Case {
        double seconds;
        bool showSign;
        const char* text;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : std::initializer_list<Case>{
             {0, true, "0:00"},
             {59.9, false, "0:59"},
             {3599, false, "59:59"},
             {3600, false, "1:00:00"},
             {3725, true, "1:02:05"},
             {360000, false, "100:00:00"},
             {-0.5, true, "0:00"},
             {-0.999, true, "0:00"},
             {-1.7, true, "-0:01"},
             {-61, true, "-1:01"},
             {-61, false, "1:01"},
             {-65.4, true, "-1:05"},
             {-3600, true, "-1:00:00"},
             {nan, true, "0:00"},
         }) {
        EXPECT_EQ(formatDuration(c.seconds, c.showSign), QString::fromUtf8(c.text)) << c.seconds;
    }
    // Values a hand-edited file could hold stay finite text instead of undefined behaviour.
    EXPECT_FALSE(formatDuration(inf, true).isEmpty());
    EXPECT_TRUE(formatDuration(-inf, true).startsWith(QLatin1Char('-')));
    EXPECT_FALSE(formatDuration(1e300, false).contains(QLatin1Char('-')));
}

TEST(IsLightColor, ThresholdIsRelativeLuminanceAboveSixTenths) {
    // The grey whose linearised value is 0.6 sits exactly on the threshold.
    const double edge = 1.055 * std::pow(0.6, 1 / 2.4) - 0.055;
    struct Case {
        ColorValue colour;
        bool light;
    };
    for (const Case& c : std::initializer_list<Case>{
             {ColorValue::srgb(1, 1, 1, 1), true},
             {ColorValue::srgb(0, 0, 0, 1), false},
             {ColorValue::srgb(1, 1, 1, 0), true}, // alpha is ignored
             {ColorValue::srgb(edge - 1e-6, edge - 1e-6, edge - 1e-6, 1), false},
             {ColorValue::srgb(edge + 1e-6, edge + 1e-6, edge + 1e-6, 1), true},
             {ColorValue::srgb(0, 1, 0, 1), true},  // 0.7152
             {ColorValue::srgb(1, 0, 0, 1), false}, // 0.2126
             {ColorValue::srgb(1, 1, 0, 1), true},  // 0.9278
             {ColorValue::yellow(), true},
             {ColorValue::srgb(std::nan(""), 1, 1, 1), false},
         }) {
        const RgbaComponents rgb = c.colour.components();
        EXPECT_EQ(isLightColor(c.colour), c.light) << rgb.red << ' ' << rgb.green << ' ' << rgb.blue;
        EXPECT_EQ(controlTint(c.colour), c.light ? ColorValue::black() : ColorValue::srgb(1, 1, 1, 1));
    }
}

TEST(WallClockText, MediumTimeInTheLocaleShiftedByTheOffset) {
    struct Case {
        const char* locale;
        std::optional<double> offset;
        const char* text;
    };
    const QDateTime now = berlin(14, 30, 5, 900);
    for (const Case& c : std::initializer_list<Case>{
             {"de_DE", std::nullopt, "14:30:05"},
             {"de_DE", 0.0, "14:30:05"},
             {"de_DE", -3600.0, "13:30:05"},
             {"de_DE", 19800.0, "20:00:05"},
             {"de_DE", 36000.0, "00:30:05"},
             {"de_DE", std::numeric_limits<double>::infinity(), "14:30:05"},
             {"en_US", std::nullopt, "2:30:05\u202FPM"},
             {"", std::nullopt, "14:30:05"},
         }) {
        EXPECT_EQ(wallClockText(now, c.offset, QString::fromUtf8(c.locale)), QString::fromUtf8(c.text))
            << c.locale;
    }
}

TEST(WallClockText, FollowsTheSystemZoneAcrossADaylightSavingChange) {
    // 01:59:59 CET plus two seconds is 03:00:01 CEST.
    const QDateTime beforeChange = QDateTime(QDate(2024, 3, 31), QTime(1, 59, 59));
    EXPECT_EQ(wallClockText(beforeChange, 2.0, QStringLiteral("de_DE")), QStringLiteral("03:00:01"));
}

TEST(UserTimeLocaleId, TakesTheTimeLocaleWithoutEncoding) {
    const QByteArray savedAll = qgetenv("LC_ALL"), savedTime = qgetenv("LC_TIME"),
                     savedLang = qgetenv("LANG");
    struct Case {
        const char* all;
        const char* time;
        const char* lang;
        const char* id;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"", "", "de_DE.UTF-8", "de_DE"},
             {"", "en_GB.UTF-8", "de_DE.UTF-8", "en_GB"},
             {"fr_FR.UTF-8@euro", "en_GB", "de_DE", "fr_FR"},
             {"C.UTF-8", "", "", ""},
             {"", "", "POSIX", ""},
         }) {
        qputenv("LC_ALL", c.all);
        qputenv("LC_TIME", c.time);
        qputenv("LANG", c.lang);
        EXPECT_EQ(userTimeLocaleId(), QString::fromUtf8(c.id));
    }
    qputenv("LC_ALL", savedAll);
    qputenv("LC_TIME", savedTime);
    qputenv("LANG", savedLang);
}

TEST(CountdownRules, EveryStateOfTheTableHasItsColoursFlashAndText) {
    struct Case {
        const char* state;
        double remaining;
        bool running;
        bool flashWhenDone;
        double warningTime;
        bool warningColours;
        bool flashing;
        const char* text;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"ready", 1800, false, true, 60, false, false, "30:00"},
             {"counting", 61, true, true, 60, false, false, "1:01"},
             {"warning edge", 60, true, true, 60, true, false, "1:00"},
             {"warning paused", 30.5, false, true, 60, true, false, "0:30"},
             {"exactly zero", 0, true, true, 60, true, false, "0:00"},
             {"overtime", -0.4, true, true, 60, true, true, "0:00"},
             {"overtime later", -65.4, true, true, 60, true, true, "-1:05"},
             {"overtime no flash", -5, true, false, 60, true, false, "-0:05"},
             {"paused overtime", -5, false, true, 60, true, false, "-0:05"},
             {"zero warning time", 0.5, true, true, 0, false, false, "0:00"},
             {"zero warning time at zero", 0, true, true, 0, true, false, "0:00"},
         }) {
        ClockModel clock = clockIn(ClockMode::countdown);
        clock.countdown->remaining = c.remaining;
        clock.countdown->isRunning = c.running;
        clock.countdown->flashWhenDone = c.flashWhenDone;
        clock.countdown->warningTime = c.warningTime;
        const QDateTime now = berlin(12, 0, 0);
        EXPECT_EQ(currentTextColor(clock, now),
                  c.warningColours ? clock.countdown->warningForegroundColor : clock.foregroundColor)
            << c.state;
        EXPECT_EQ(currentOutlineColor(clock, now),
                  c.warningColours ? clock.countdown->warningOutlineColor : clock.outlineColor)
            << c.state;
        EXPECT_EQ(isCountdownFlashing(*clock.countdown), c.flashing) << c.state;
        const DisplayContent shown = displayContent(clock, now, false);
        EXPECT_EQ(shown.text, QString::fromUtf8(c.text)) << c.state;
        EXPECT_EQ(shown.visible, !c.flashing) << c.state; // hidden phase of a flash
        // The flash toggles while flashing and settles on visible otherwise.
        EXPECT_EQ(updateCountdownFlash(clock, true), !c.flashing) << c.state;
        EXPECT_TRUE(updateCountdownFlash(clock, false)) << c.state;
    }
}

TEST(CountdownRules, ButtonsAndTicksChangeOnlyWhatTheyShould) {
    ClockModel clock = clockIn(ClockMode::countdown);
    clock.countdown->remaining = 100;
    EXPECT_FALSE(advanceCountdown(clock, 1)) << "a paused countdown does not move";
    const ClockModel started = *toggleCountdown(clock);
    EXPECT_TRUE(started.countdown->isRunning);
    const ClockModel ticked = *advanceCountdown(started, 1.25);
    EXPECT_DOUBLE_EQ(ticked.countdown->remaining, 98.75);
    const ClockModel reset = *resetCountdown(ticked);
    EXPECT_EQ(reset.countdown->remaining, reset.countdown->duration);
    EXPECT_FALSE(reset.countdown->isRunning);
    ClockModel noData = clockIn(ClockMode::countdown);
    noData.countdown.reset();
    EXPECT_FALSE(toggleCountdown(noData));
    EXPECT_FALSE(resetCountdown(noData));
    EXPECT_FALSE(advanceCountdown(noData, 1));
    EXPECT_TRUE(updateCountdownFlash(noData, true));
    EXPECT_FALSE(updateCountdownFlash(noData, false)) << "without settings nothing changes";
    const DisplayContent message = displayContent(noData, berlin(12, 0, 0), true);
    EXPECT_TRUE(message.isMessage);
    EXPECT_EQ(message.text, QStringLiteral("No Countdown Data"));
}

TEST(StopwatchRules, RunsOnlyWhileRunningAndResetsToZero) {
    ClockModel clock = clockIn(ClockMode::stopwatch);
    EXPECT_FALSE(advanceStopwatch(clock, 1));
    clock = toggleStopwatch(clock);
    clock = *advanceStopwatch(clock, 59.5);
    clock = *advanceStopwatch(clock, 3540.6);
    EXPECT_EQ(displayContent(clock, {}, true).text, QStringLiteral("1:00:00"));
    clock = toggleStopwatch(clock);
    EXPECT_FALSE(clock.stopwatch->isRunning);
    EXPECT_DOUBLE_EQ(clock.stopwatch->elapsed, 3600.1);
    clock = toggleStopwatch(clock);
    clock = resetStopwatch(clock);
    EXPECT_EQ(clock.stopwatch, (StopwatchSettings{0, false}));
    EXPECT_EQ(currentTextColor(clock, {}), clock.foregroundColor);
    ClockModel none = clockIn(ClockMode::stopwatch);
    none.stopwatch.reset();
    EXPECT_EQ(toggleStopwatch(none).stopwatch, (StopwatchSettings{0, true}));
}

TEST(TimeUntilRules, CountsToTheTargetTodayThenNegativeWithTargetColours) {
    struct Case {
        QDateTime now;
        int targetHour;
        const char* text;
        bool atTarget;
    };
    for (const Case& c : std::initializer_list<Case>{
             {berlin(17, 0, 0), 18, "1:00:00", false},
             {berlin(17, 59, 59, 500), 18, "0:00", false},
             {berlin(18, 0, 0), 18, "0:00", true},
             {berlin(18, 0, 0, 999), 18, "0:00", true},
             {berlin(18, 0, 30), 18, "-0:30", true},
             {berlin(23, 59, 59), 18, "-5:59:59", true},
             {berlin(0, 0, 0), 18, "18:00:00", false},
             {berlin(12, 0, 0), 0, "-12:00:00", true},
             // 23 hours on the day clocks are put forward, 25 on the day they are put back.
             {berlin(0, 0, 0, 0, QDate(2024, 3, 31)), 23, "22:00:00", false},
             {berlin(0, 0, 0, 0, QDate(2024, 10, 27)), 23, "24:00:00", false},
         }) {
        ClockModel clock = clockIn(ClockMode::timeUntil);
        clock.timeUntil->targetHour = c.targetHour;
        const DisplayContent shown = displayContent(clock, c.now, true);
        EXPECT_EQ(shown.text, QString::fromUtf8(c.text)) << c.now.toString(Qt::ISODateWithMs).toStdString();
        EXPECT_EQ(currentTextColor(clock, c.now),
                  c.atTarget ? clock.timeUntil->atTargetForegroundColor : clock.foregroundColor);
        EXPECT_EQ(currentOutlineColor(clock, c.now),
                  c.atTarget ? clock.timeUntil->atTargetOutlineColor : clock.outlineColor);
        EXPECT_EQ(updateTimeUntilFlash(clock, c.now, true), !c.atTarget)
            << "flashes once the target is reached";
        EXPECT_TRUE(updateTimeUntilFlash(clock, c.now, false));
    }
}

TEST(TimeUntilRules, WithoutSettingsShowsTheMessageAndNeverFlashes) {
    ClockModel clock = clockIn(ClockMode::timeUntil);
    clock.timeUntil.reset();
    const DisplayContent shown = displayContent(clock, berlin(12, 0, 0), false);
    EXPECT_TRUE(shown.isMessage);
    EXPECT_EQ(shown.text, QStringLiteral("No Target Time"));
    EXPECT_FALSE(updateTimeUntilFlash(clock, berlin(12, 0, 0), false));
    EXPECT_EQ(currentTextColor(clock, berlin(12, 0, 0)), clock.foregroundColor);
    EXPECT_EQ(timeUntilRemaining(clock, berlin(12, 0, 0)), 0);
}
