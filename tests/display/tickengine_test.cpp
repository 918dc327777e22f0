#include "display/moderules.h"
#include "display/tickengine.h"
#include "faketime.h"
#include "model/appstate.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace tavix;

namespace {

// One store with one clock, an engine on it, and a hand-moved clock. Ticks are called directly.
struct Rig {
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    AppState state{file};
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(17, 59, 50))};
    QUuid id = state.clocks().first().id;
    TickEngine engine{ClockBinding(&state, id), time};

    explicit Rig(ClockMode mode) {
        ClockModel clock = state.clocks().first();
        clock.mode = mode;
        state.setClock(0, clock);
    }
    ~Rig() { file->flushPendingWrites(); }

    ClockModel clock() const { return state.clocks().first(); }
    void edit(const std::function<void(ClockModel&)>& change) {
        ClockModel clock = this->clock();
        change(clock);
        state.setClock(0, clock);
    }
    DisplayContent shown() const { return displayContent(clock(), engine.now(), engine.flashVisible()); }
    void tickAfter(double seconds) {
        time.advance(seconds);
        engine.tick();
    }
};

} // namespace

TEST(TickEngine, CountdownStartedAtThirtyMinutesShowsEachSecondOnceThroughZero) {
    Rig rig(ClockMode::countdown);
    rig.edit([](ClockModel& c) { c.countdown->remaining = c.countdown->duration = 3; });
    rig.engine.startTicking();
    rig.time.advance(0.4); // Start between two ticks
    rig.engine.startPause();
    // Each tick waits as long as the engine asked for; the display reads like a kitchen timer.
    struct Step {
        const char* text;
        bool visible;
        bool warning;
    };
    for (const Step& step : std::initializer_list<Step>{
             {"0:02", true, true},
             {"0:01", true, true},
             {"0:00", true, true},
             {"-0:01", false, true}, // overtime: hidden on the first tick, shown on the next
             {"-0:02", true, true},
             {"-0:03", false, true},
         }) {
        rig.tickAfter(rig.engine.scheduledDelayMs() / 1000.0);
        EXPECT_EQ(rig.shown().text, QString::fromUtf8(step.text));
        EXPECT_EQ(rig.shown().visible, step.visible) << step.text;
        EXPECT_EQ(currentTextColor(rig.clock(), rig.engine.now()),
                  rig.clock().countdown->warningForegroundColor);
    }
    // Pausing in overtime makes the text steady at once and visible again at the next tick.
    rig.engine.startPause();
    EXPECT_TRUE(rig.shown().visible);
    rig.tickAfter(1);
    EXPECT_TRUE(rig.engine.flashVisible());
    EXPECT_EQ(rig.shown().text, QStringLiteral("-0:03"));
}

TEST(TickEngine, StartIsChargedFromThePressAndPauseUpToThePress) {
    Rig rig(ClockMode::countdown);
    rig.engine.startTicking();
    rig.tickAfter(1.0);
    rig.time.advance(0.7);
    rig.engine.startPause(); // Start 0.7 s after a tick
    EXPECT_EQ(rig.clock().countdown->remaining, 1800);
    rig.tickAfter(1.0);
    EXPECT_NEAR(rig.clock().countdown->remaining, 1799.0, 1e-9);
    EXPECT_EQ(rig.shown().text, QStringLiteral("29:59"));
    rig.time.advance(0.6);
    rig.engine.startPause(); // Pause 0.6 s after a tick
    EXPECT_NEAR(rig.clock().countdown->remaining, 1798.4, 1e-9);
    EXPECT_FALSE(rig.clock().countdown->isRunning);
    rig.tickAfter(5);
    EXPECT_NEAR(rig.clock().countdown->remaining, 1798.4, 1e-9) << "paused: nothing accumulates";
}

TEST(TickEngine, StepsComeFromTheElapsedClockNotFromTheWallClock) {
    struct Case {
        const char* what;
        qint64 wallJumpSeconds;
    };
    for (const Case& c :
         std::initializer_list<Case>{{"set back an hour", -3600}, {"set forward a day", 86400}}) {
        for (const ClockMode mode : {ClockMode::countdown, ClockMode::stopwatch}) {
            Rig rig(mode);
            rig.engine.startTicking();
            rig.engine.startPause();
            rig.time.setWall(rig.time.wallNow().addSecs(c.wallJumpSeconds));
            rig.tickAfter(1.0);
            const double moved = mode == ClockMode::countdown ? 1800 - rig.clock().countdown->remaining
                                                              : rig.clock().stopwatch->elapsed;
            EXPECT_NEAR(moved, 1.0, 1e-9) << c.what;
            EXPECT_EQ(rig.engine.now(), rig.time.wallNow()) << "the wall clock display follows the new time";
        }
    }
}

TEST(TickEngine, StopwatchRunsPausesAndResetsWhileRunning) {
    Rig rig(ClockMode::stopwatch);
    rig.engine.startTicking();
    EXPECT_EQ(rig.engine.currentStopwatch(), (StopwatchSettings{0, false}));
    rig.engine.startPause();
    for (int i = 0; i < 3; ++i) {
        rig.tickAfter(rig.engine.scheduledDelayMs() / 1000.0);
    }
    EXPECT_EQ(rig.shown().text, QStringLiteral("0:03"));
    rig.engine.reset();
    EXPECT_EQ(rig.clock().stopwatch, (StopwatchSettings{0, false}));
    rig.tickAfter(1);
    EXPECT_EQ(rig.shown().text, QStringLiteral("0:00"));
}

TEST(TickEngine, AStopwatchKeepsItsValueWhileItsClockShowsAnotherMode) {
    Rig rig(ClockMode::stopwatch);
    rig.engine.startTicking();
    rig.engine.startPause();
    rig.tickAfter(2);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    rig.tickAfter(10);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_NEAR(rig.clock().stopwatch->elapsed, 2, 1e-9);
    EXPECT_TRUE(rig.clock().stopwatch->isRunning);
    rig.tickAfter(1);
    EXPECT_NEAR(rig.clock().stopwatch->elapsed, 3, 1e-9);
}

TEST(TickEngine, TimeUntilTurnsToTargetColoursAndFlashesFromTheTarget) {
    Rig rig(ClockMode::timeUntil); // 17:59:50, target 18:00:00
    rig.engine.startTicking();
    QStringList texts;
    QList<bool> atTarget;
    QList<bool> visible;
    for (int i = 0; i < 13; ++i) {
        rig.tickAfter(rig.engine.scheduledDelayMs() / 1000.0);
        texts.append(rig.shown().text);
        visible.append(rig.shown().visible);
        atTarget.append(currentTextColor(rig.clock(), rig.engine.now()) ==
                        rig.clock().timeUntil->atTargetForegroundColor);
    }
    EXPECT_EQ(texts, (QStringList{QStringLiteral("0:09"), QStringLiteral("0:08"), QStringLiteral("0:07"),
                                  QStringLiteral("0:06"), QStringLiteral("0:05"), QStringLiteral("0:04"),
                                  QStringLiteral("0:03"), QStringLiteral("0:02"), QStringLiteral("0:01"),
                                  QStringLiteral("0:00"), QStringLiteral("-0:01"), QStringLiteral("-0:02"),
                                  QStringLiteral("-0:03")}));
    EXPECT_EQ(atTarget, (QList<bool>{false, false, false, false, false, false, false, false, false, true,
                                     true, true, true}));
    EXPECT_EQ(visible,
              (QList<bool>{true, true, true, true, true, true, true, true, true, false, true, false, true}));
}

TEST(TickEngine, TicksAreReplacedJustAfterTheShownSecondChanges) {
    // Delay asked for at a given wall-clock phase or running value, in milliseconds.
    struct Case {
        const char* what;
        ClockMode mode;
        int wallMs;
        double value;
        bool running;
        int delayMs;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"wall clock on time", ClockMode::clock, 3, 0, false, 1000},
             {"wall clock mid-second", ClockMode::clock, 500, 0, false, 503},
             {"wall clock just before", ClockMode::clock, 990, 0, false, 13},
             {"wall clock far too close", ClockMode::clock, 980, 0, false, 23},
             {"countdown after Start", ClockMode::countdown, 123, 1800, true, 990},
             {"countdown on phase", ClockMode::countdown, 0, 1799.01, true, 1000},
             {"countdown at zero", ClockMode::countdown, 0, 0.01, true, 1013},
             {"countdown in overtime", ClockMode::countdown, 0, -1.003, true, 1000},
             {"countdown paused", ClockMode::countdown, 0, 12.5, false, 1000},
             {"stopwatch after Start", ClockMode::stopwatch, 777, 0, true, 1003},
             {"stopwatch resumed", ClockMode::stopwatch, 0, 12.25, true, 753},
             {"stopwatch huge", ClockMode::stopwatch, 0, 1e12 + 0.5, true, 503},
             {"timecode", ClockMode::timecode, 450, 0, false, 1000},
         }) {
        ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("c"), AppSettings{});
        clock.mode = c.mode;
        clock.countdown->remaining = c.value;
        clock.countdown->isRunning = c.running;
        clock.stopwatch = StopwatchSettings{c.value, c.running};
        const QDateTime wall = QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, c.wallMs));
        EXPECT_EQ(TickEngine::tickDelayMs(clock, wall), c.delayMs) << c.what;
    }
}

TEST(TickEngine, ChangingModeOrRunningStateReplacesThePendingTick) {
    Rig rig(ClockMode::countdown);
    rig.time.setWall(QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0, 400)));
    rig.engine.startTicking();
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 1000) << "paused countdown: plain one-second tick";
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    EXPECT_EQ(rig.engine.scheduledDelayMs(), 603) << "now a wall clock: aligned to the next second";
}

TEST(TickEngine, ADeletedClockShowsThePlaceholderAndNothingIsWritten) {
    Rig rig(ClockMode::countdown);
    rig.engine.startTicking();
    rig.engine.startPause();
    rig.state.removeClock(rig.id);
    rig.tickAfter(1);
    rig.engine.startPause();
    rig.engine.reset();
    EXPECT_TRUE(rig.state.clocks().isEmpty());
    EXPECT_EQ(rig.engine.clock().read().name, QStringLiteral("Deleted Clock"));
}
