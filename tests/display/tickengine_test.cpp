#include "display/moderules.h"
#include "display/tickengine.h"
#include "displaytest.h"

#include <gtest/gtest.h>

using namespace tavix;

namespace {

// One clock in a store, an engine on it and a hand-moved clock; ticks are called directly.
struct Rig : test::Store {
    TickEngine engine{ClockBinding(&state, id()), timers, ticks};

    explicit Rig(ClockMode mode) : Store(QTime(17, 59, 50)) {
        edit([&](ClockModel& c) { c.mode = mode; });
        engine.startTicking();
    }
    void tick(double afterSeconds) {
        time.advance(afterSeconds);
        engine.tick();
    }
    /// The text shown, then "!" in the warning or at-target colours and "~" in the hidden phase of a flash.
    std::string shown() const {
        const ClockModel c = clock();
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
    /// How far the countdown or stopwatch has run, at this moment.
    double moved() const {
        const ClockModel c = clock();
        return c.mode == ClockMode::countdown ? c.countdown->duration - *timers.currentRemaining(id())
                                              : *timers.currentElapsed(id());
    }
};

} // namespace

TEST(TickEngine, ACountdownShowsEachSecondOnceThroughZeroAndFlashesInOvertime) {
    Rig rig(ClockMode::countdown);
    rig.edit([](ClockModel& c) { c.countdown->remaining = c.countdown->duration = 3; });
    rig.time.advance(0.4); // Start between two ticks
    rig.engine.startPause();
    EXPECT_EQ(rig.run(6), "0:02! 0:01! 0:00! -0:01!~ -0:02! -0:03!~");
    rig.engine.startPause();
    EXPECT_EQ(rig.shown(), "-0:03!") << "paused in overtime: steady at once";
    EXPECT_EQ(rig.run(1), "-0:03!");
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

TEST(TickEngine, TimeUntilTurnsToTargetColoursAndFlashesFromTheTarget) {
    Rig rig(ClockMode::timeUntil); // 17:59:50, target 18:00:00
    EXPECT_EQ(rig.run(13), "0:09 0:08 0:07 0:06 0:05 0:04 0:03 0:02 0:01 0:00!~ -0:01! -0:02!~ -0:03!");
}

TEST(TickEngine, TicksArePlacedJustAfterTheShownSecondChanges) {
    // The delay asked for at a wall-clock millisecond with a countdown or stopwatch at `value`.
    const auto delay = [](ClockMode mode, int wallMs, double value, bool running) {
        ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QString(), AppSettings{});
        clock.mode = mode;
        clock.countdown->remaining = value;
        clock.countdown->isRunning = running;
        clock.stopwatch = StopwatchSettings{value, running};
        return TickEngine::tickDelayMs(clock, QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, wallMs)));
    };
    EXPECT_EQ(delay(ClockMode::clock, 3, 0, false), 1000);
    EXPECT_EQ(delay(ClockMode::clock, 500, 0, false), 503);
    EXPECT_EQ(delay(ClockMode::clock, 990, 0, false), 13);
    EXPECT_EQ(delay(ClockMode::countdown, 123, 1800, true), 990) << "just before 29:59 is due";
    EXPECT_EQ(delay(ClockMode::countdown, 0, 1799.01, true), 1000);
    EXPECT_EQ(delay(ClockMode::countdown, 0, 0.01, true), 1013) << "just after overtime begins";
    EXPECT_EQ(delay(ClockMode::countdown, 0, -1.003, true), 1000);
    EXPECT_EQ(delay(ClockMode::countdown, 0, 12.5, false), 1000) << "paused: a plain second";
    EXPECT_EQ(delay(ClockMode::stopwatch, 777, 0, true), 1003);
    EXPECT_EQ(delay(ClockMode::stopwatch, 0, 1e12 + 0.5, true), 503) << "huge values keep their phase";
}

TEST(TickEngine, ChangingTheModeReplacesThePendingTick) {
    Rig rig(ClockMode::countdown);
    rig.time.setWall(QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, 400)));
    rig.engine.startTicking();
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 1000) << "paused countdown: plain one-second tick";
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 603) << "now a wall clock: aligned to the next second";
}
