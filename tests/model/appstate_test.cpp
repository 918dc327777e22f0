#include "model/appstate.h"
#include "model/statecodec.h"
#include "support/storetest.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

struct Store {
    QTemporaryDir base;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(base.path());
    std::unique_ptr<AppState> state;

    void start() { state = std::make_unique<AppState>(file); }
    std::optional<PersistenceContainer> onDisk() {
        file->flushPendingWrites();
        return StateFile(base.path()).loadSavedState();
    }
    void writeState(const PersistenceContainer& s) { test::writeState(file->stateFileURL(), s); }
};

using test::makeClock;

} // namespace

TEST(AppState, AnEmptySavedListGetsOneClockMadeFromTheSavedDefaults) {
    Store store;
    store.writeState(test::stateOf({}, [](AppSettings& s) {
        s.defaultOpacity = 0.4;
        s.defaultCountdownDuration = 90;
        s.defaultBackgroundColor = ColorValue::srgb(0.2, 0.2, 0.2, 1);
        s.defaultTimeUntilFlashAtTarget = false;
    }));
    store.start();
    ASSERT_EQ(store.state->clocks().size(), 1);
    const ClockModel& clock = store.state->clocks()[0];
    EXPECT_EQ(std::tuple(clock.opacity, clock.countdown->duration, clock.backgroundColor,
                         clock.timeUntil->flashAtTarget),
              std::tuple(0.4, 90.0, ColorValue::srgb(0.2, 0.2, 0.2, 1), false));
    EXPECT_EQ(store.onDisk()->clocks.size(), 1);
}

TEST(AppState, AReadableFileIsUsedAsIsAndNothingIsWrittenUntilAChange) {
    Store store;
    store.writeState(test::stateOf({makeClock("A"), makeClock("B")}));
    const QDateTime before = QFileInfo(store.file->stateFileURL()).lastModified();
    store.start();
    QSignalSpy saves(store.state.get(), &AppState::saved);
    QTest::qWait(AppState::kAutosaveDelayMs + 150);
    EXPECT_EQ(saves.count(), 0);
    EXPECT_EQ(QFileInfo(store.file->stateFileURL()).lastModified(), before);
    ASSERT_EQ(store.state->clocks().size(), 2);
    EXPECT_EQ(store.state->clocks()[1].name, u"B"_s);
}

TEST(AppState, ABurstOfChangesGivesOneSaveAfterTheBurstSettles) {
    Store store;
    store.start();
    QSignalSpy saves(store.state.get(), &AppState::saved);
    QElapsedTimer sinceLast;
    for (int i = 0; i < 5; ++i) {
        ClockModel clock = store.state->clocks()[0];
        clock.foregroundColor = ColorValue::srgb(i / 10.0, 0, 0, 1);
        store.state->setClock(0, clock);
        sinceLast.start();
        QTest::qWait(20);
    }
    ASSERT_TRUE(test::waitUntil([&] { return saves.count() > 0; }, 2000));
    const qint64 delay = sinceLast.elapsed();
    QTest::qWait(AppState::kAutosaveDelayMs + 100);
    EXPECT_EQ(saves.count(), 1);
    EXPECT_GE(delay, AppState::kAutosaveDelayMs);
    EXPECT_EQ(store.onDisk()->clocks[0].foregroundColor, ColorValue::srgb(0.4, 0, 0, 1));

    // Settings changes and assignments of an equal value count as changes too.
    store.state->setSettings(store.state->settings());
    ASSERT_TRUE(test::waitUntil([&] { return saves.count() == 2; }, 2000));
}

TEST(AppState, RunningTimerProgressAloneIsSavedPeriodicallyNotAtOnce) {
    Store store;
    store.start();
    store.state->setRunningTimersSaveIntervalMs(1500);
    QSignalSpy saves(store.state.get(), &AppState::saved);
    QSignalSpy changed(store.state.get(), &AppState::clockChanged);
    ClockModel clock = store.state->clocks()[0];
    clock.mode = ClockMode::countdown;
    clock.countdown->isRunning = true;
    store.state->setClock(0, clock); // a start: saved after the usual quiet period
    ASSERT_TRUE(test::waitUntil([&] { return saves.count() == 1; }, 2000));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toUuid(), clock.id) << "the change names its clock";

    QElapsedTimer sinceSave;
    sinceSave.start();
    for (int i = 0; i < 10; ++i) {
        clock.countdown->remaining -= 0.1;
        clock.countdown->measuredAt = i;
        store.state->setClock(0, clock);
        QTest::qWait(50);
    }
    EXPECT_EQ(saves.count(), 1) << "progress alone is not written at once";
    ASSERT_TRUE(test::waitUntil([&] { return saves.count() == 2; }, 5000)) << "but periodically";
    EXPECT_GE(sinceSave.elapsed(), 1400);
    EXPECT_EQ(store.onDisk()->clocks[0].countdown->remaining, clock.countdown->remaining);

    const auto progressOnly = [&](const std::function<void(ClockModel&)>& change) {
        ClockModel after = clock;
        change(after);
        return AppState::isTimerProgressOnly(clock, after);
    };
    EXPECT_TRUE(progressOnly([](ClockModel& c) { c.countdown->remaining = -3; }));
    EXPECT_FALSE(progressOnly([](ClockModel& c) { c.countdown->isRunning = false; }));
    EXPECT_FALSE(progressOnly([](ClockModel& c) { c.countdown->duration = 5; }));
    EXPECT_FALSE(progressOnly([](ClockModel& c) { c.stopwatch->elapsed = 5; })) << "the stopwatch is paused";
    EXPECT_FALSE(progressOnly([](ClockModel&) {}));
}

TEST(AppState, DefaultNamesTakeTheSmallestFreeNumberComparedAsUnicodeText) {
    Store store;
    store.start();
    const std::vector<std::pair<QList<ClockModel>, const char*>> cases = {
        {{}, "Clock 1"},
        {{makeClock("Clock 1"), makeClock("Clock 3")}, "Clock 2"},
        {{makeClock("Clock 1 "), makeClock("clock 1")}, "Clock 1"},
        {{makeClock("Clock 2"), makeClock("Clock 1")}, "Clock 3"}};
    for (const auto& [clocks, expected] : cases) {
        store.state->setClocks(clocks);
        EXPECT_EQ(store.state->nextDefaultClockName(), QString::fromUtf8(expected));
    }
}

TEST(AppState, RenameTrimsAndRefusesEmptyOrTakenNames) {
    Store store;
    store.writeState(test::stateOf({makeClock("Caf\u00E9"), makeClock("Clock 2"), makeClock("Other")}));
    store.start();
    const QUuid first = store.state->clocks()[0].id;
    const QUuid third = store.state->clocks()[2].id;
    QSignalSpy saves(store.state.get(), &AppState::saved);

    store.state->renameClock(third, u" \t\n\u2028\u00A0 "_s);
    store.state->renameClock(third, u"  Clock 2  "_s);
    store.state->renameClock(third,
                             u"Cafe\u0301"_s); // canonically equal to the first clock's name
    store.state->renameClock(QUuid::createUuid(), u"Nobody"_s);
    EXPECT_EQ(std::tuple(store.state->clocks()[2].name, saves.count()), std::tuple(u"Other"_s, 0));

    // Characters no XML reader takes (a pasted vertical tab, U+FFFE) go; the rest is trimmed.
    store.state->renameClock(third, u"\u3000 Studio\v B\uFFFE \n"_s);
    EXPECT_EQ(std::tuple(store.state->clocks()[2].name, saves.count()), std::tuple(u"Studio B"_s, 1));
    store.state->renameClock(first, u"Caf\u00E9"_s); // its own name: allowed, and saves
    EXPECT_EQ(saves.count(), 2);
    EXPECT_EQ(store.onDisk()->clocks[2].name, u"Studio B"_s);
}

TEST(AppState, AddFindAndRemoveKeepOrderAndSave) {
    Store store;
    store.start();
    const QUuid one = store.state->clocks()[0].id;
    const QUuid two = store.state->addClock();
    EXPECT_EQ(store.state->clocks()[1].name, u"Clock 2"_s);
    store.state->setClock(7, store.state->clocks()[0]); // out of range: ignored
    EXPECT_EQ(std::tuple(store.state->clocks().size(), store.onDisk()->clocks.size()), std::tuple(2, 2));

    QSignalSpy saves(store.state.get(), &AppState::saved);
    store.state->removeClock(QUuid::createUuid()); // nothing removed, still saves
    EXPECT_EQ(saves.count(), 1);
    store.state->removeClock(one);
    store.state->removeClock(two);
    EXPECT_TRUE(store.state->clocks().isEmpty());
    EXPECT_TRUE(store.onDisk().value().clocks.isEmpty());

    // The next start adds Clock 1 again.
    store.state.reset();
    store.start();
    ASSERT_EQ(store.state->clocks().size(), 1);
    EXPECT_EQ(store.state->clocks()[0].name, u"Clock 1"_s);
}
