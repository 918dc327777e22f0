#include "display/durationformat.h"
#include "display/moderules.h"
#include "display/tickengine.h"
#include "displaytest.h"
#include "model/statecodec.h"
#include "testsupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace tavix;

namespace {

ClockModel runningCountdown(double remaining, std::optional<double> measuredAt) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Show"), AppSettings{});
    clock.mode = ClockMode::countdown;
    clock.countdown->remaining = remaining;
    clock.countdown->isRunning = true;
    clock.countdown->measuredAt = measuredAt;
    return clock;
}

double wallSeconds(const QDateTime& t) {
    return static_cast<double>(t.toMSecsSinceEpoch()) / 1000.0;
}

} // namespace

TEST(RunningTimers, ARunningTimerCountsOnWithoutAWindowAndIsReadRightAtAnyMoment) {
    test::Store store;
    store.edit([](ClockModel& c) { c.mode = ClockMode::countdown; });
    store.timers.start(store.id());
    store.time.advance(3.25);
    EXPECT_DOUBLE_EQ(*store.timers.currentRemaining(store.id()), 1800 - 3.25);
    EXPECT_EQ(store.clock().countdown->remaining, 1800) << "the store is brought up to date on demand";
    store.timers.settle(store.id());
    EXPECT_DOUBLE_EQ(store.clock().countdown->remaining, 1800 - 3.25);
    EXPECT_DOUBLE_EQ(*store.clock().countdown->measuredAt, wallSeconds(store.time.wallNow()));

    // Off, time passes only while a window shows the clock.
    AppSettings settings = store.state.settings();
    settings.runningTimersKeepCounting = false;
    store.state.setSettings(settings);
    store.time.advance(5);
    EXPECT_DOUBLE_EQ(*store.timers.currentRemaining(store.id()), 1800 - 3.25);
    store.timers.setShown(store.id(), true);
    store.time.advance(2);
    store.timers.setShown(store.id(), false);
    store.time.advance(5);
    EXPECT_DOUBLE_EQ(*store.timers.currentRemaining(store.id()), 1800 - 5.25);
    EXPECT_DOUBLE_EQ(store.clock().countdown->remaining, 1800 - 5.25) << "kept when the window went";
}

TEST(RunningTimers, OperationsBehaveAsTheButtonsAndAreSavedAtOnce) {
    test::Store store;
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
    EXPECT_EQ(store.clock().stopwatch->elapsed, 91.5);
    EXPECT_FALSE(store.clock().stopwatch->isRunning);
    EXPECT_FALSE(store.clock().stopwatch->measuredAt);
    EXPECT_EQ(saves.size(), 4);
    store.timers.reset(id);
    EXPECT_EQ(store.clock().stopwatch, (StopwatchSettings{0, false}));

    store.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    store.timers.startPause(id);
    EXPECT_FALSE(store.clock().stopwatch->isRunning) << "a wall clock has no timer to start";
    EXPECT_EQ(store.timers.currentRemaining(QUuid::createUuid()), std::nullopt);
}

TEST(RunningTimers, AStartChargesTheTimeSinceTheSaveWithinLimitsAndSaysWhenItDoesNot) {
    struct Case {
        const char* what;
        double secondsSinceSave; // NaN: the file has no instant (an older Tavix wrote it)
        bool keepCounting;
        double charged;
        const char* line;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"down for 5 s", 5, true, 5, nullptr},
        {"system clock set back", -3600, true, 0, "the last save is dated 3600 s in the future"},
        {"far ahead", 30 * 86400.0, true, RunningTimers::kMaximumChargeSeconds,
         "2592000 s passed since the last save"},
        {"setting off", 5, false, 0, nullptr},
        {"older file", nan, true, 0, nullptr},
    };
    for (const Case& c : cases) {
        test::Store store;
        const QDateTime now = store.time.wallNow();
        PersistenceContainer saved;
        saved.settings.runningTimersKeepCounting = c.keepCounting;
        saved.clocks = {runningCountdown(100, std::isnan(c.secondsSinceSave)
                                                  ? std::nullopt
                                                  : std::optional(wallSeconds(now) - c.secondsSinceSave))};
        store.file->flushPendingWrites(); // the store's own first save must not land on top of ours
        test::writeFile(store.file->stateFileURL(), *encodeStateFile(saved, nullptr));
        AppState state(store.file);
        std::unique_ptr<RunningTimers> timers;
        const QStringList lines =
            test::capturedStdoutLines([&] { timers = std::make_unique<RunningTimers>(state, store.time); });
        const QUuid id = state.clocks().at(0).id;
        EXPECT_DOUBLE_EQ(*timers->currentRemaining(id), 100 - c.charged) << c.what;
        if (c.line) {
            ASSERT_EQ(lines.size(), 1) << c.what;
            EXPECT_TRUE(lines[0].startsWith(QStringLiteral("\u26A0\uFE0F "))) << c.what;
            EXPECT_TRUE(lines[0].contains(QString::fromUtf8(c.line))) << lines[0].toStdString();
        } else {
            EXPECT_TRUE(lines.isEmpty()) << c.what;
        }
        store.time.advance(2);
        EXPECT_DOUBLE_EQ(*timers->currentRemaining(id), c.keepCounting ? 98 - c.charged : 100)
            << "and runs on (off: only in a window): " << c.what;
    }
}

TEST(TickEngine, LateTicksOfUpTo200MsNeitherSkipNorRepeatASecond) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> upTo200(0, 200);
    const std::function<int(int)> patterns[] = {
        [](int) { return 0; },
        [](int) { return 150; },
        [](int i) { return i % 2 ? 199 : 0; },
        [&](int) { return upTo200(random); },
    };
    for (const auto& lateMs : patterns) {
        test::Store store;
        store.edit([](ClockModel& c) {
            c.mode = ClockMode::countdown;
            c.countdown->remaining = c.countdown->duration = 12;
        });
        TickEngine engine(ClockBinding(&store.state, store.id()), store.timers, store.ticks);
        engine.startTicking();
        store.timers.start(store.id());
        std::string shown;
        std::string expected;
        double advanced = 0;
        for (int i = 0; i < 20; ++i) {
            const double step = engine.scheduledDelayMs() / 1000.0 + lateMs(i) / 1000.0;
            advanced += step;
            store.time.advance(step);
            store.ticks.runDue();
            const ClockModel clock = engine.shownClock();
            shown += formatDuration(clock.countdown->remaining, true).toStdString() + " ";
            expected += formatDuration(11.0 - i, true).toStdString() + " ";
        }
        EXPECT_EQ(shown, expected);
        EXPECT_NEAR(*store.timers.currentRemaining(store.id()), 12 - advanced, 1e-6)
            << "no time is lost to the lateness";
    }
}
