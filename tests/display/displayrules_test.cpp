#include "display/colorrules.h"
#include "display/digitrules.h"
#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/wallclock.h"
#include "displaytest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Tests run with TZ=Europe/Berlin.
QDateTime berlin(int h, int m, int s, int ms = 0, QDate day = QDate(2024, 6, 12)) {
    return QDateTime(day, QTime(h, m, s, ms));
}

using test::clockIn;

// What a clock shows at `now`: its text, then "!" in its warning or at-target colours (text and
// outline), "~" when a flash hides it. Checks that the flash toggles while flashing and settles on
// visible otherwise.
std::string shown(const ClockModel& clock, const QDateTime& now) {
    const bool countdown = clock.mode == ClockMode::countdown;
    const auto update = [&](bool visible) {
        return countdown ? updateCountdownFlash(clock, visible) : updateTimeUntilFlash(clock, now, visible);
    };
    const DisplayContent hiddenPhase = displayContent(clock, now, false);
    EXPECT_EQ(std::tuple(update(true), update(false)), std::tuple(hiddenPhase.visible, true));
    const auto colours = std::pair(currentTextColor(clock, now), currentOutlineColor(clock, now));
    const auto special =
        countdown
            ? std::pair(clock.countdown->warningForegroundColor, clock.countdown->warningOutlineColor)
            : std::pair(clock.timeUntil->atTargetForegroundColor, clock.timeUntil->atTargetOutlineColor);
    EXPECT_TRUE(colours == special || colours == std::pair(clock.foregroundColor, clock.outlineColor));
    return hiddenPhase.text.toStdString() + (colours == special ? "!" : "") +
           (hiddenPhase.visible ? "" : "~");
}

std::vector<std::string> widest(const ClockModel& clock, const QDateTime& now, bool plus = false) {
    std::vector<std::string> texts;
    for (const QString& text : widestTexts(clock, now, {plus, u"de_DE"_s})) {
        texts.push_back(text.toStdString());
    }
    return texts;
}

const QDateTime kNoon(QDate(2024, 6, 12), QTime(12, 0));

} // namespace

TEST(FormatDuration, TruncatesTowardZeroSwitchesToHoursAndSurvivesAnyDouble) {
    const auto text = [](double seconds, bool showSign) {
        return formatDuration(seconds, showSign).toStdString();
    };
    EXPECT_EQ(std::tuple(text(59.9, false), text(3599, false)), std::tuple("0:59", "59:59"));
    EXPECT_EQ(std::tuple(text(3600, false), text(360000, false)), std::tuple("1:00:00", "100:00:00"));
    EXPECT_EQ(text(-0.999, true), "0:00"); // never "-0:00"
    EXPECT_EQ(std::tuple(text(-1.7, true), text(-61, false)), std::tuple("-0:01", "1:01"));
    EXPECT_EQ(text(-3600, true), "-1:00:00");
    // Values a hand-edited file could hold give text, not undefined behaviour.
    EXPECT_EQ(std::tuple(text(kNan, true), text(-kInf, true).front()), std::tuple("0:00", '-'));
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
    EXPECT_EQ((std::vector{text(now, std::nullopt, "de_DE"), text(now, -3600.0, "de_DE"),
                           text(now, 36000.0, "de_DE"), text(now, kInf, "de_DE"),
                           text(now, std::nullopt, "en_US"), text(now, std::nullopt, "")}),
              (std::vector<std::string>{"14:30:05", "13:30:05", "00:30:05", "14:30:05", "2:30:05\u202FPM",
                                        "14:30:05"}));
    // 01:59:59 CET plus two seconds is 03:00:01 CEST.
    EXPECT_EQ(text(berlin(1, 59, 59, 0, QDate(2024, 3, 31)), 2.0, "de_DE"), "03:00:01");
}

TEST(WallClockText, FollowsTheCLibraryLocalTimeInEveryFormOfTZ) {
    const QByteArray saved = qgetenv("TZ");
    // POSIX rules ICU does not know, names, and the forms Tavix itself sets: a name after a colon,
    // or the path of a zone file that has no name.
    for (const char* zone :
         {"CET-1CEST,M3.5.0,M10.5.0/3", "IST-5:30", "<+0545>-5:45", "EST5EDT,M3.2.0,M11.1.0",
          "America/St_Johns", ":Europe/Berlin", ":/usr/share/zoneinfo/Asia/Kolkata", "UTC0"}) {
        qputenv("TZ", zone);
        tzset();
        // Winter, summer, and either side of the European spring change.
        for (const qint64 seconds : {1705320000, 1718193600, 1711846799, 1711846801}) {
            const auto t = static_cast<time_t>(seconds);
            tm local{};
            localtime_r(&t, &local);
            char expected[16];
            std::strftime(expected, sizeof expected, "%H:%M:%S", &local);
            const QDateTime at = QDateTime::fromSecsSinceEpoch(seconds);
            EXPECT_EQ(wallClockText(at, std::nullopt, QString()).toStdString(), expected)
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
    EXPECT_EQ(std::tuple(countdown(1800, false), countdown(61, true)), std::tuple("30:00", "1:01"));
    EXPECT_EQ(countdown(60, true), "1:00!") << "the warning band includes its edge";
    EXPECT_EQ(std::tuple(countdown(30.5, false), countdown(0, true)), std::tuple("0:30!", "0:00!"));
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
    EXPECT_EQ((std::vector{timeUntil(berlin(17, 0, 0)), timeUntil(berlin(17, 59, 59, 500)),
                           timeUntil(berlin(18, 0, 0)), timeUntil(berlin(18, 0, 30)),
                           timeUntil(berlin(12, 0, 0), 0)}),
              (std::vector<std::string>{"1:00:00", "0:00", "0:00!~", "-0:30!~", "-12:00:00!~"}));
    // 23 hours on the day clocks are put forward, 25 on the day they are put back.
    EXPECT_EQ(timeUntil(berlin(0, 0, 0, 0, QDate(2024, 3, 31)), 23), "22:00:00");
    EXPECT_EQ(timeUntil(berlin(0, 0, 0, 0, QDate(2024, 10, 27)), 23), "24:00:00");
}

TEST(WidestTexts, ACountdownKeepsItsRangeFromTheStartValueIntoOvertime) {
    // Duration, remaining times all within one range (the sizing texts must not change), plus,
    // tenths, the sizing texts.
    const std::vector<std::tuple<double, std::vector<double>, bool, bool, std::vector<std::string>>> cases = {
        {600, {600, 599.5, 61, 9.2, 0, -0.5, -59}, false, false, {"00:00", "-0:00"}},
        {3600, {3600, 3599, 1, -1}, false, false, {"0:00:00", "-0:00"}},
        {300, {300, -61, -599}, true, false, {"0:00", "+0:00"}},
        {30, {30, 9.9, 0.05}, false, true, {"0:00", "-0:00", "0:00.0"}}};
    for (const auto& [duration, remainings, plus, tenths, expected] : cases) {
        for (const double remaining : remainings) {
            ClockModel clock = clockIn(ClockMode::countdown);
            clock.countdown->duration = duration;
            clock.countdown->remaining = remaining;
            clock.countdown->showTenths = tenths;
            EXPECT_EQ(widest(clock, kNoon, plus), expected) << duration << " at " << remaining;
        }
    }
    // The range grows only when the value leaves it: a nudge above the start, a long overtime.
    ClockModel clock = clockIn(ClockMode::countdown);
    clock.countdown->duration = 600;
    clock.countdown->remaining = 3700;
    EXPECT_EQ(widest(clock, kNoon), (std::vector<std::string>{"0:00:00", "-0:00"}));
    clock.countdown->remaining = -600;
    EXPECT_EQ(widest(clock, kNoon), (std::vector<std::string>{"00:00", "-00:00"}));
}

TEST(WidestTexts, StopwatchTimeUntilAndWallClockRanges) {
    ClockModel stopwatch = clockIn(ClockMode::stopwatch);
    for (const auto& [elapsed, tenths, expected] :
         std::vector<std::tuple<double, bool, std::string>>{{0, false, "00:00"},
                                                            {3599.9, false, "00:00"},
                                                            {3600, false, "0:00:00"},
                                                            {36000, false, "00:00:00"},
                                                            {5, true, "00:00.0"}}) {
        stopwatch.stopwatch = StopwatchSettings{elapsed, true, std::nullopt, tenths};
        EXPECT_EQ(widest(stopwatch, kNoon), std::vector<std::string>{expected}) << elapsed;
    }

    // Time until 18:00: from 18:00:00 at midnight to six hours of overtime by the end of the day,
    // the same all day; a roll-over after 5 minutes trades the overtime for a full day ahead.
    ClockModel until = clockIn(ClockMode::timeUntil);
    until.timeUntil = TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true};
    for (const QTime at : {QTime(0, 0, 1), QTime(17, 59, 0), QTime(18, 0, 30), QTime(23, 59)}) {
        EXPECT_EQ(widest(until, QDateTime(kNoon.date(), at)),
                  (std::vector<std::string>{"00:00:00", "-0:00:00"}))
            << at.toString().toStdString();
    }
    until.timeUntil->targetHour = 9;
    until.timeUntil->rollOverAfter = 300;
    EXPECT_EQ(widest(until, kNoon, true), (std::vector<std::string>{"00:00:00", "+0:00"}));

    ClockModel wall = clockIn(ClockMode::clock);
    EXPECT_EQ(widest(wall, kNoon), (std::vector<std::string>{"00:00:00", "00:00:00"}));
    wall.hideSeconds = true;
    EXPECT_EQ(widest(wall, kNoon), (std::vector<std::string>{"00:00", "00:00"}));
    wall.use24HourTime = false;
    const QStringList twelve = widestTexts(wall, kNoon, {false, u"de_DE"_s});
    ASSERT_EQ(twelve.size(), 2);
    EXPECT_NE(twelve[0], twelve[1]) << "morning and evening marks differ: "
                                    << twelve.join(u'|').toStdString();
}

TEST(DigitText, TenthsPlusAndTheWallClockStyles) {
    const auto countdown = [](double remaining, bool tenths, bool plus) {
        CountdownSettings c{600, remaining, true, 60, ColorValue::yellow(), ColorValue::yellow(), true};
        c.showTenths = tenths;
        return countdownText(c, plus).toStdString();
    };
    EXPECT_EQ(countdown(10.0, true, false), "0:10") << "tenths only below ten seconds";
    EXPECT_EQ(countdown(9.99, true, false), "0:09.9");
    EXPECT_EQ(countdown(9.9, true, false), "0:09.9") << "9.9 may be held as 9.8999…";
    EXPECT_EQ(countdown(0.04, true, false), "0:00.0");
    EXPECT_EQ(countdown(-0.5, true, false), "0:00") << "overtime shows whole seconds";
    EXPECT_EQ(countdown(-61.5, false, true), "+1:01");
    EXPECT_EQ(countdown(-61.5, false, false), "-1:01");
    EXPECT_EQ(formatWithTenths(3725.47).toStdString(), "1:02:05.4");
    EXPECT_EQ(formatWithTenths(59.99999999).toStdString(), "0:59.9") << "never 0:60 nor 0:59.10";

    const QDateTime afternoon(kNoon.date(), QTime(14, 30, 5));
    const auto wall = [&](const char* locale, std::optional<bool> use24, bool hideSeconds) {
        return wallClockText(afternoon, std::nullopt, QString::fromUtf8(locale), {use24, hideSeconds})
            .toStdString();
    };
    EXPECT_EQ((std::vector{wall("en_US", true, false), wall("de_DE", false, false).substr(0, 7),
                           wall("de_DE", std::nullopt, true), wall("en_US", std::nullopt, true)}),
              (std::vector<std::string>{"14:30:05", "2:30:05", "14:30", "2:30\u202FPM"}));
}

TEST(FaceLook, EachFlashStyleDrawsItsPhases) {
    const ColorValue background = ColorValue::srgb(0.1, 0.1, 0.1, 0.5);
    const ColorValue overtimeText = ColorValue::srgb(1, 0, 0, 1);
    const ColorValue overtimeOutline = ColorValue::srgb(1, 0.5, 0, 1);
    ClockModel clock = clockIn(ClockMode::countdown);
    clock.backgroundColor = background;
    CountdownSettings& c = *clock.countdown;
    c.remaining = -3;
    c.isRunning = true;
    c.flashWhenDone = true;
    c.overtimeForegroundColor = overtimeText;
    c.overtimeOutlineColor = overtimeOutline;
    const auto look = [&](bool phase) { return faceLook(clock, kNoon, phase); };

    // Digits: shown, hidden.
    EXPECT_EQ(look(true), (FaceLook{overtimeText, overtimeOutline, background, true, false}));
    EXPECT_EQ(look(false), (FaceLook{overtimeText, overtimeOutline, background, false, false}));
    // Outline and background: the face turns over, the digits stay, opaque, in the background's colour.
    c.overtimeFlashStyle = OvertimeFlashStyle::outlineAndBackground;
    EXPECT_EQ(look(true), (FaceLook{overtimeText, overtimeOutline, background, true, false}));
    EXPECT_EQ(look(false),
              (FaceLook{ColorValue::srgb(0.1, 0.1, 0.1, 1), overtimeText, overtimeOutline, true, false}));
    EXPECT_TRUE(displayContent(clock, kNoon, false).visible);
    // Off, or paused: steady in both phases.
    c.flashWhenDone = false;
    EXPECT_EQ(look(false), look(true));
    c.flashWhenDone = true;
    c.isRunning = false;
    EXPECT_EQ(look(false), look(true));

    // The warning band keeps its own colours and a doubled outline; overtime without its own
    // colours looks as it always did.
    c.remaining = 30;
    c.warningTime = 60;
    EXPECT_EQ(look(true),
              (FaceLook{c.warningForegroundColor, c.warningOutlineColor, background, true, true}));
    c.remaining = -1;
    c.overtimeForegroundColor.reset();
    c.overtimeOutlineColor.reset();
    EXPECT_EQ(look(true),
              (FaceLook{c.warningForegroundColor, c.warningOutlineColor, background, true, false}));
}

TEST(TimeUntil, CountsToTomorrowOnlyOnceTheGraceHasPassed) {
    ClockModel clock = clockIn(ClockMode::timeUntil);
    clock.timeUntil = TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true};
    const auto at = [&](int h, int m, int s) {
        return formatDuration(timeUntilRemaining(clock, QDateTime(kNoon.date(), QTime(h, m, s))), true)
            .toStdString();
    };
    EXPECT_EQ(at(23, 0, 0), "-5:00:00") << "never, by default";
    clock.timeUntil->rollOverAfter = 300;
    EXPECT_EQ(std::tuple(at(17, 0, 0), at(18, 5, 0)), std::tuple("1:00:00", "-5:00"));
    EXPECT_EQ(at(18, 5, 1), "23:54:59");
    EXPECT_FALSE(isTimeUntilAtTarget(*clock.timeUntil, QDateTime(kNoon.date(), QTime(18, 5, 1))))
        << "tomorrow's target is not reached: clock colours, no flash";
}
