#include "display/digitrules.h"
#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/tickengine.h"
#include "displaytest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace tavix;

namespace {

ClockModel clockIn(ClockMode mode) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock 1"), AppSettings{});
    clock.mode = mode;
    clock.stopwatch = StopwatchSettings{0, false};
    return clock;
}

std::vector<std::string> widest(const ClockModel& clock, const QDateTime& now, bool plus = false) {
    std::vector<std::string> texts;
    for (const QString& text : widestTexts(clock, now, {plus, QStringLiteral("de_DE")})) {
        texts.push_back(text.toStdString());
    }
    return texts;
}

const QDateTime kNoon(QDate(2024, 6, 12), QTime(12, 0));

} // namespace

TEST(WidestTexts, ACountdownKeepsItsRangeFromTheStartValueIntoOvertime) {
    struct Case {
        double duration;
        std::vector<double> remainings; // all within one range: the sizing texts must not change
        bool plus;
        bool tenths;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {600, {600, 599.5, 61, 9.2, 0, -0.5, -59}, false, false, {"00:00", "-0:00"}},
        {3600, {3600, 3599, 1, -1}, false, false, {"0:00:00", "-0:00"}},
        {300, {300, -61, -599}, true, false, {"0:00", "+0:00"}},
        {30, {30, 9.9, 0.05}, false, true, {"0:00", "-0:00", "0:00.0"}},
    };
    for (const Case& c : cases) {
        for (const double remaining : c.remainings) {
            ClockModel clock = clockIn(ClockMode::countdown);
            clock.countdown->duration = c.duration;
            clock.countdown->remaining = remaining;
            clock.countdown->showTenths = c.tenths;
            EXPECT_EQ(widest(clock, kNoon, c.plus), c.expected) << c.duration << " at " << remaining;
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
    const QStringList twelve = widestTexts(wall, kNoon, {false, QStringLiteral("de_DE")});
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
    EXPECT_EQ(wall("en_US", std::nullopt, false), "2:30:05\u202FPM") << "the locale's medium time, as before";
    EXPECT_EQ(wall("en_US", true, false), "14:30:05");
    EXPECT_EQ(wall("de_DE", false, false).substr(0, 7), "2:30:05");
    EXPECT_EQ(wall("de_DE", std::nullopt, true), "14:30");
    EXPECT_EQ(wall("en_US", std::nullopt, true), "2:30\u202FPM");
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

    // Digits: shown, hidden.
    EXPECT_EQ(faceLook(clock, kNoon, true),
              (FaceLook{overtimeText, overtimeOutline, background, true, false}));
    EXPECT_EQ(faceLook(clock, kNoon, false),
              (FaceLook{overtimeText, overtimeOutline, background, false, false}));
    // Outline and background: the face turns over, the digits stay, opaque, in the background's colour.
    c.overtimeFlashStyle = OvertimeFlashStyle::outlineAndBackground;
    EXPECT_EQ(faceLook(clock, kNoon, true),
              (FaceLook{overtimeText, overtimeOutline, background, true, false}));
    EXPECT_EQ(faceLook(clock, kNoon, false),
              (FaceLook{ColorValue::srgb(0.1, 0.1, 0.1, 1), overtimeText, overtimeOutline, true, false}));
    EXPECT_TRUE(displayContent(clock, kNoon, false).visible);
    // Off, or paused: steady in both phases.
    c.flashWhenDone = false;
    EXPECT_EQ(faceLook(clock, kNoon, false), faceLook(clock, kNoon, true));
    c.flashWhenDone = true;
    c.isRunning = false;
    EXPECT_EQ(faceLook(clock, kNoon, false), faceLook(clock, kNoon, true));

    // The warning band keeps its own colours and a doubled outline; overtime without its own
    // colours looks as it always did.
    c.remaining = 30;
    c.warningTime = 60;
    EXPECT_EQ(faceLook(clock, kNoon, true),
              (FaceLook{c.warningForegroundColor, c.warningOutlineColor, background, true, true}));
    c.remaining = -1;
    c.overtimeForegroundColor.reset();
    c.overtimeOutlineColor.reset();
    EXPECT_EQ(faceLook(clock, kNoon, true),
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
    EXPECT_EQ(at(17, 0, 0), "1:00:00");
    EXPECT_EQ(at(18, 5, 0), "-5:00");
    EXPECT_EQ(at(18, 5, 1), "23:54:59");
    EXPECT_FALSE(isTimeUntilAtTarget(*clock.timeUntil, QDateTime(kNoon.date(), QTime(18, 5, 1))))
        << "tomorrow's target is not reached: clock colours, no flash";
}

namespace {

struct TenthsRig : test::Store {
    TickEngine engine{ClockBinding(&state, id()), timers, ticks};
    int storeWrites = 0;

    explicit TenthsRig(ClockMode mode) {
        edit([&](ClockModel& c) {
            c.mode = mode;
            c.stopwatch = StopwatchSettings{0, false, std::nullopt, true};
            c.countdown->duration = c.countdown->remaining = 12;
            c.countdown->showTenths = true;
            c.countdown->flashWhenDone = true;
        });
        QObject::connect(&state, &AppState::clockChanged, [this](const QUuid&) { ++storeWrites; });
        engine.startTicking();
        engine.startPause();
        storeWrites = 0;
    }
    /// The texts shown by the ticks within the next `seconds`, each tick where the engine asked.
    std::vector<std::string> run(double seconds) {
        std::vector<std::string> texts;
        const std::int64_t end = time.elapsedNanoseconds() + static_cast<std::int64_t>(seconds * 1e9);
        while (time.elapsedNanoseconds() + engine.scheduledDelayMs() * 1'000'000LL <= end) {
            time.advance(engine.scheduledDelayMs() / 1000.0);
            engine.tick();
            const DisplayContent d = displayContent(engine.shownClock(), engine.now(), engine.flashVisible());
            texts.push_back(d.text.toStdString() + (d.visible ? "" : "~"));
        }
        return texts;
    }
};

} // namespace

TEST(TickEngine, TenthsTickTenTimesASecondOnlyWhileTheyShow) {
    TenthsRig stopwatch(ClockMode::stopwatch);
    const auto first = stopwatch.run(1.01);
    EXPECT_EQ(first, (std::vector<std::string>{"0:00.1", "0:00.2", "0:00.3", "0:00.4", "0:00.5", "0:00.6",
                                               "0:00.7", "0:00.8", "0:00.9", "0:01.0"}));
    EXPECT_LE(stopwatch.storeWrites, 1) << "the tenths are drawn from the running timer, not stored";
    EXPECT_EQ(stopwatch.run(2.0).size(), 20u) << "ten a second";
    stopwatch.engine.startPause();
    EXPECT_EQ(stopwatch.run(3.0).size(), 3u) << "paused: one tick a second";

    // A countdown from 0:12: whole seconds, every tenth through the last ten seconds, whole
    // seconds in overtime with the flash turning once a second, never at the rate of the tenths.
    TenthsRig countdown(ClockMode::countdown);
    const auto shown = countdown.run(15.5);
    std::vector<std::string> changes;
    for (const std::string& text : shown) {
        if (changes.empty() || changes.back() != text) {
            changes.push_back(text);
        }
    }
    ASSERT_GE(changes.size(), 106u);
    EXPECT_EQ(std::vector<std::string>(changes.begin(), changes.begin() + 4),
              (std::vector<std::string>{"0:11", "0:10", "0:09.9", "0:09.8"}));
    EXPECT_EQ(changes[101], "0:00.0");
    EXPECT_EQ(std::vector<std::string>(changes.end() - 4, changes.end()),
              (std::vector<std::string>{"0:00", "-0:01~", "-0:02", "-0:03~"}));
    EXPECT_LE(shown.size(), 12u + 110u + 5u) << "about ten ticks a second, only while the tenths show";
}
