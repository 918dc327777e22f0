#include "display/timerundo.h"
#include "displaytest.h"

#include <gtest/gtest.h>

using namespace tavix;

namespace {

struct Rig : test::Store {
    TimerUndo undo{timers, id()};

    explicit Rig(ClockMode mode) {
        edit([mode](ClockModel& c) {
            c.mode = mode;
            c.stopwatch = StopwatchSettings{};
        });
    }
    double value() const {
        return clock().mode == ClockMode::countdown ? *timers.currentRemaining(id())
                                                    : *timers.currentElapsed(id());
    }
    bool running() const {
        return clock().mode == ClockMode::countdown ? clock().countdown->isRunning
                                                    : clock().stopwatch->isRunning;
    }
};

} // namespace

TEST(TimerUndo, UndoOfAResetGivesTheRunBackAsIfItHadNeverBeenReset) {
    for (const ClockMode mode : {ClockMode::countdown, ClockMode::stopwatch}) {
        const double sign = mode == ClockMode::countdown ? -1 : 1;
        Rig rig(mode);
        const double start = rig.value();
        rig.timers.start(rig.id());
        rig.time.advance(100);
        rig.undo.reset();
        EXPECT_FALSE(rig.running());
        EXPECT_EQ(rig.value(), start);
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
    int undone = 0;
    while (rig.undo.undo()) {
        ++undone;
    }
    EXPECT_EQ(undone, TimerUndo::kDepth);
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
