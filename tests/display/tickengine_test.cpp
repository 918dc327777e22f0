#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/tickengine.h"
#include "display/timerundo.h"
#include "displaytest.h"
#include "model/statecodec.h"
#include "testsupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <random>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

// One clock in a store, an engine and an undo list on it and a hand-moved clock; ticks are called
// directly.
struct Rig : test::TimedStore {
    TickEngine engine{ClockBinding(&state, id()), timers, ticks};
    TimerUndo undo{timers, id()};

    explicit Rig(ClockMode mode) : TimedStore(QTime(17, 59, 50)) {
        edit([&](ClockModel& c) {
            c.mode = mode;
            c.stopwatch = StopwatchSettings{};
        });
        engine.startTicking();
    }
    void tick(double afterSeconds) {
        time.advance(afterSeconds);
        engine.tick();
    }
    /// The text shown, then "!" in the warning or at-target colours and "~" in the hidden phase of a flash.
    std::string shown() const {
        const ClockModel c = engine.shownClock();
        const DisplayContent d = displayContent(c, engine.now(), engine.flashVisible());
        return d.text.toStdString() + (currentTextColor(c, engine.now()) == c.foregroundColor ? "" : "!") +
               (d.visible ? "" : "~");
    }
    /// What `count` ticks show, each waiting as long as the engine asked for.
    std::string run(int count) {
        std::string texts;
        for (int i = 0; i < count; ++i) {
            tick(engine.scheduledDelayMs() / 1000.0);
            texts += (i ? " " : "") + shown();
        }
        return texts;
    }
    /// What the ticks within the next `seconds` show, each tick where the engine asked.
    std::vector<std::string> runFor(double seconds) {
        std::vector<std::string> texts;
        const std::int64_t end = time.elapsedNanoseconds() + static_cast<std::int64_t>(seconds * 1e9);
        while (time.elapsedNanoseconds() + engine.scheduledDelayMs() * 1'000'000LL <= end) {
            tick(engine.scheduledDelayMs() / 1000.0);
            texts.push_back(shown());
        }
        return texts;
    }
    bool isCountdown() const { return clock().mode == ClockMode::countdown; }
    /// The countdown's time left or the stopwatch's time, at this moment.
    double value() const {
        return isCountdown() ? *timers.currentRemaining(id()) : *timers.currentElapsed(id());
    }
    /// How far the countdown or stopwatch has run, at this moment.
    double moved() const { return isCountdown() ? clock().countdown->duration - value() : value(); }
    bool running() const {
        return isCountdown() ? clock().countdown->isRunning : clock().stopwatch->isRunning;
    }
};

double wallSeconds(const QDateTime& t) {
    return static_cast<double>(t.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

TEST(RunningTimers, ARunningTimerCountsOnWithoutAWindowAndIsReadRightAtAnyMoment) {
    test::TimedStore store;
    store.edit([](ClockModel& c) { c.mode = ClockMode::countdown; });
    const auto left = [&] { return *store.timers.currentRemaining(store.id()); };
    store.timers.start(store.id());
    store.time.advance(3.25);
    EXPECT_DOUBLE_EQ(left(), 1800 - 3.25);
    EXPECT_EQ(store.clock().countdown->remaining, 1800) << "the store is brought up to date on demand";
    store.timers.settle(store.id());
    EXPECT_DOUBLE_EQ(store.clock().countdown->remaining, 1800 - 3.25);
    EXPECT_DOUBLE_EQ(*store.clock().countdown->measuredAt, wallSeconds(store.time.wallNow()));

    // Off, time passes only while a window shows the clock.
    store.changeSettings([](AppSettings& s) { s.runningTimersKeepCounting = false; });
    store.time.advance(5);
    EXPECT_DOUBLE_EQ(left(), 1800 - 3.25);
    store.timers.setShown(store.id(), true);
    store.time.advance(2);
    store.timers.setShown(store.id(), false);
    store.time.advance(5);
    EXPECT_DOUBLE_EQ(left(), 1800 - 5.25);
    EXPECT_DOUBLE_EQ(store.clock().countdown->remaining, 1800 - 5.25) << "kept when the window went";
}

TEST(RunningTimers, OperationsBehaveAsTheButtonsAndAreSavedAtOnce) {
    test::TimedStore store;
    store.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    const QUuid id = store.id();
    QSignalSpy saves(&store.state, &AppState::saved);
    store.timers.startPause(id);
    EXPECT_EQ(saves.size(), 1);
    store.time.advance(10);
    store.timers.nudge(id, -30);
    EXPECT_EQ(*store.timers.currentElapsed(id), 0) << "a stopwatch stops at zero";
    store.timers.nudge(id, 90);
    store.time.advance(1.5);
    store.timers.startPause(id); // Pause
    store.time.advance(60);
    EXPECT_EQ(store.clock().stopwatch, (StopwatchSettings{91.5, false})) << "no measuredAt once paused";
    EXPECT_EQ(saves.size(), 4);
    store.timers.reset(id);
    EXPECT_EQ(store.clock().stopwatch, (StopwatchSettings{0, false}));

    store.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    store.timers.startPause(id);
    EXPECT_FALSE(store.clock().stopwatch->isRunning) << "a wall clock has no timer to start";
}

TEST(RunningTimers, AStartChargesTheTimeSinceTheSaveWithinLimitsAndSaysWhenItDoesNot) {
    // What, seconds since the save (NaN: the file has no instant, as an older Tavix wrote it), keep
    // counting, seconds charged, the line said.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::tuple<const char*, double, bool, double, const char*> cases[] = {
        {"down for 5 s", 5, true, 5, nullptr},
        {"system clock set back", -3600, true, 0, "the last save is dated 3600 s in the future"},
        {"far ahead", 30 * 86400.0, true, RunningTimers::kMaximumChargeSeconds,
         "2592000 s passed since the last save"},
        {"setting off", 5, false, 0, nullptr},
        {"older file", nan, true, 0, nullptr}};
    for (const auto& [what, secondsSinceSave, keepCounting, charged, line] : cases) {
        SCOPED_TRACE(what);
        test::TimedStore store;
        ClockModel clock = test::makeClock("Show", ClockMode::countdown);
        clock.countdown->remaining = 100;
        clock.countdown->isRunning = true;
        if (!std::isnan(secondsSinceSave)) {
            clock.countdown->measuredAt = wallSeconds(store.time.wallNow()) - secondsSinceSave;
        }
        store.file->flushPendingWrites(); // the store's own first save must not land on top of ours
        PersistenceContainer saved = test::stateOf({clock});
        saved.settings.runningTimersKeepCounting = keepCounting;
        test::writeState(store.file->stateFileURL(), saved);
        AppState state(store.file);
        std::unique_ptr<RunningTimers> timers;
        const QStringList lines =
            test::capturedStdoutLines([&] { timers = std::make_unique<RunningTimers>(state, store.time); });
        const QUuid id = state.clocks().at(0).id;
        EXPECT_DOUBLE_EQ(*timers->currentRemaining(id), 100 - charged);
        ASSERT_EQ(lines.size(), line ? 1 : 0);
        if (line) {
            EXPECT_TRUE(lines[0].startsWith(u"\u26A0\uFE0F "_s) && lines[0].contains(QString::fromUtf8(line)))
                << lines[0].toStdString();
        }
        store.time.advance(2);
        EXPECT_DOUBLE_EQ(*timers->currentRemaining(id), keepCounting ? 98 - charged : 100)
            << "and runs on (off: only in a window)";
    }
}

TEST(TickEngine, LateTicksOfUpTo200MsNeitherSkipNorRepeatASecond) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> upTo200(0, 200);
    const std::function<int(int)> patterns[] = {[](int) { return 0; }, [](int) { return 150; },
                                                [](int i) { return i % 2 ? 199 : 0; },
                                                [&](int) { return upTo200(random); }};
    for (const auto& lateMs : patterns) {
        Rig rig(ClockMode::countdown);
        rig.edit([](ClockModel& c) { c.countdown->remaining = c.countdown->duration = 12; });
        rig.timers.start(rig.id());
        std::string shown;
        std::string expected;
        double advanced = 0;
        for (int i = 0; i < 20; ++i) {
            const double step = rig.engine.scheduledDelayMs() / 1000.0 + lateMs(i) / 1000.0;
            advanced += step;
            rig.time.advance(step);
            rig.ticks.runDue();
            shown += formatDuration(rig.engine.shownClock().countdown->remaining, true).toStdString() + " ";
            expected += formatDuration(11.0 - i, true).toStdString() + " ";
        }
        EXPECT_EQ(shown, expected);
        EXPECT_NEAR(rig.value(), 12 - advanced, 1e-6) << "no time is lost to the lateness";
    }
}

TEST(TickEngine, ACountdownAndATimeUntilShowEachSecondOnceThroughZeroAndFlashPastIt) {
    Rig rig(ClockMode::countdown);
    rig.edit([](ClockModel& c) { c.countdown->remaining = c.countdown->duration = 3; });
    rig.time.advance(0.4); // Start between two ticks
    rig.engine.startPause();
    EXPECT_EQ(rig.run(6), "0:02! 0:01! 0:00! -0:01!~ -0:02! -0:03!~");
    rig.engine.startPause();
    EXPECT_EQ(rig.shown(), "-0:03!") << "paused in overtime: steady at once";
    EXPECT_EQ(rig.run(1), "-0:03!");
    // A time until turns to its target colours and flashes from the target (17:59:50, target 18:00).
    Rig until(ClockMode::timeUntil);
    EXPECT_EQ(until.run(13), "0:09 0:08 0:07 0:06 0:05 0:04 0:03 0:02 0:01 0:00!~ -0:01! -0:02!~ -0:03!");
}

TEST(TickEngine, StartIsChargedFromThePressAndPauseUpToThePress) {
    for (const ClockMode mode : {ClockMode::countdown, ClockMode::stopwatch}) {
        Rig rig(mode);
        rig.tick(1.0);
        rig.time.advance(0.7);
        rig.engine.startPause(); // Start 0.7 s after a tick
        rig.time.advance(1.0);
        EXPECT_NEAR(rig.moved(), 1.0, 1e-9);
        rig.engine.tick();
        EXPECT_EQ(rig.shown(), mode == ClockMode::countdown ? "29:59" : "0:01");
        rig.time.advance(0.6);
        rig.engine.startPause(); // Pause 0.6 s after a tick
        rig.tick(5);
        EXPECT_NEAR(rig.moved(), 1.6, 1e-9) << "charged up to the Pause, nothing after it";
    }
}

TEST(TickEngine, StepsComeFromTheElapsedClockNotTheWallClock) {
    for (const qint64 wallJump : {-3600, 86400}) {
        for (const ClockMode mode : {ClockMode::countdown, ClockMode::stopwatch}) {
            Rig rig(mode);
            rig.engine.startPause();
            rig.time.setWall(rig.time.wallNow().addSecs(wallJump));
            rig.time.advance(1.0);
            EXPECT_NEAR(rig.moved(), 1.0, 1e-9) << wallJump;
            rig.engine.tick();
            EXPECT_LE(std::abs(rig.engine.now().msecsTo(rig.time.wallNow())), 10)
                << "the shown time follows the wall clock";
        }
    }
}

TEST(TickEngine, AStopwatchRunsOnlyInItsModeAndResetStopsIt) {
    Rig rig(ClockMode::stopwatch);
    rig.engine.startPause();
    EXPECT_EQ(rig.run(3), "0:01 0:02 0:03");
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    rig.tick(10);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_EQ(rig.run(1), "0:04") << "kept, and still running, while showing the time";
    rig.engine.reset();
    EXPECT_EQ(rig.clock().stopwatch, (StopwatchSettings{0, false}));
}

TEST(TickEngine, TicksArePlacedJustAfterTheShownSecondChanges) {
    // The delay asked for at a wall-clock millisecond with a countdown or stopwatch at `value`.
    const auto delay = [](ClockMode mode, int wallMs, double value, bool running) {
        ClockModel clock = test::makeClock("", mode);
        clock.countdown->remaining = value;
        clock.countdown->isRunning = running;
        clock.stopwatch = StopwatchSettings{value, running};
        return TickEngine::tickDelayMs(clock, QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, wallMs)));
    };
    // Just before 29:59 is due; just after overtime begins; paused: a plain second; huge values keep
    // their phase.
    EXPECT_EQ(
        (std::vector{delay(ClockMode::clock, 3, 0, false), delay(ClockMode::clock, 500, 0, false),
                     delay(ClockMode::clock, 990, 0, false), delay(ClockMode::countdown, 123, 1800, true),
                     delay(ClockMode::countdown, 0, 1799.01, true),
                     delay(ClockMode::countdown, 0, 0.01, true), delay(ClockMode::countdown, 0, -1.003, true),
                     delay(ClockMode::countdown, 0, 12.5, false), delay(ClockMode::stopwatch, 777, 0, true),
                     delay(ClockMode::stopwatch, 0, 1e12 + 0.5, true)}),
        (std::vector{1000, 503, 13, 990, 1000, 1013, 1000, 1000, 1003, 503}));

    // Changing the mode replaces the pending tick.
    Rig rig(ClockMode::countdown);
    rig.time.setWall(QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, 400)));
    rig.engine.startTicking();
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 1000) << "paused countdown: plain one-second tick";
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 603) << "now a wall clock: aligned to the next second";
}

TEST(TickEngine, TenthsTickTenTimesASecondOnlyWhileTheyShow) {
    const auto tenthsRig = [](ClockMode mode) {
        auto rig = std::make_unique<Rig>(mode);
        rig->edit([](ClockModel& c) {
            c.stopwatch->showTenths = true;
            c.countdown->duration = c.countdown->remaining = 12;
            c.countdown->showTenths = true;
            c.countdown->flashWhenDone = true;
        });
        rig->engine.startPause();
        return rig;
    };
    const auto stopwatch = tenthsRig(ClockMode::stopwatch);
    QSignalSpy storeWrites(&stopwatch->state, &AppState::clockChanged);
    EXPECT_EQ(stopwatch->runFor(1.01),
              (std::vector<std::string>{"0:00.1", "0:00.2", "0:00.3", "0:00.4", "0:00.5", "0:00.6", "0:00.7",
                                        "0:00.8", "0:00.9", "0:01.0"}));
    EXPECT_LE(storeWrites.size(), 1) << "the tenths are drawn from the running timer, not stored";
    EXPECT_EQ(stopwatch->runFor(2.0).size(), 20u) << "ten a second";
    stopwatch->engine.startPause();
    EXPECT_EQ(stopwatch->runFor(3.0).size(), 3u) << "paused: one tick a second";

    // A countdown from 0:12: whole seconds, every tenth through the last ten seconds, whole
    // seconds in overtime with the flash turning once a second, never at the rate of the tenths.
    const auto shown = tenthsRig(ClockMode::countdown)->runFor(15.5);
    std::vector<std::string> changes;
    std::unique_copy(shown.begin(), shown.end(), std::back_inserter(changes));
    ASSERT_GE(changes.size(), 106u);
    EXPECT_EQ(std::vector<std::string>(changes.begin(), changes.begin() + 4),
              (std::vector<std::string>{"0:11!", "0:10!", "0:09.9!", "0:09.8!"}));
    EXPECT_EQ(changes[101], "0:00.0!");
    EXPECT_EQ(std::vector<std::string>(changes.end() - 4, changes.end()),
              (std::vector<std::string>{"0:00!", "-0:01!~", "-0:02!", "-0:03!~"}));
    EXPECT_LE(shown.size(), 12u + 110u + 5u) << "about ten ticks a second, only while the tenths show";
}

TEST(TimerUndo, UndoOfAResetGivesTheRunBackAsIfItHadNeverBeenReset) {
    for (const ClockMode mode : {ClockMode::countdown, ClockMode::stopwatch}) {
        const double sign = mode == ClockMode::countdown ? -1 : 1;
        Rig rig(mode);
        const double start = rig.value();
        rig.timers.start(rig.id());
        rig.time.advance(100);
        rig.undo.reset();
        EXPECT_EQ(std::pair(rig.running(), rig.value()), std::pair(false, start));
        rig.time.advance(7); // the operator notices the slip
        ASSERT_TRUE(rig.undo.undo());
        EXPECT_TRUE(rig.running());
        EXPECT_DOUBLE_EQ(rig.value(), start + sign * 107);
        rig.time.advance(1);
        EXPECT_DOUBLE_EQ(rig.value(), start + sign * 108) << "and it runs on";

        // A paused timer away from its start comes back paused; a reset that lost nothing is not kept.
        rig.timers.pause(rig.id());
        const double paused = rig.value();
        rig.undo.reset();
        rig.undo.reset();
        rig.time.advance(30);
        ASSERT_TRUE(rig.undo.undo());
        EXPECT_FALSE(rig.running());
        EXPECT_DOUBLE_EQ(rig.value(), paused);
        EXPECT_FALSE(rig.undo.undo()) << "nothing left to undo";
    }
}

TEST(TimerUndo, NudgesAreTakenBackInReverseOrderAndOnlyTheLastTenAreKept) {
    Rig rig(ClockMode::countdown);
    rig.timers.start(rig.id());
    rig.undo.nudge(60);
    rig.undo.nudge(-10);
    rig.time.advance(2);
    EXPECT_DOUBLE_EQ(rig.value(), 1800 + 50 - 2);
    EXPECT_EQ(rig.undo.nextUndo(), std::pair(TimerUndo::Kind::nudge, -10.0));
    rig.undo.undo();
    rig.undo.undo();
    EXPECT_DOUBLE_EQ(rig.value(), 1800 - 2) << "time that passed is not undone";
    EXPECT_TRUE(rig.running());

    for (int i = 0; i < TimerUndo::kDepth + 2; ++i) {
        rig.undo.nudge(60);
    }
    for (int i = 0; i < TimerUndo::kDepth; ++i) {
        ASSERT_TRUE(rig.undo.undo()) << i;
    }
    EXPECT_FALSE(rig.undo.undo());
    EXPECT_DOUBLE_EQ(rig.value(), 1800 - 2 + 120);

    // A stopwatch stops at zero: Undo gives back what the nudge really took, not the full minute.
    Rig stopwatch(ClockMode::stopwatch);
    stopwatch.undo.nudge(20);
    stopwatch.undo.nudge(-60);
    EXPECT_EQ(stopwatch.value(), 0);
    stopwatch.undo.undo();
    EXPECT_EQ(stopwatch.value(), 20);

    // After the clock changed mode, the countdown's history is not applied to the stopwatch.
    rig.undo.nudge(60);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    const double elapsed = rig.value();
    EXPECT_TRUE(rig.undo.undo());
    EXPECT_EQ(rig.value(), elapsed);
}
