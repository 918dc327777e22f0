#pragma once

#include "display/runningtimers.h"
#include "display/tickscheduler.h"
#include "display/timesource.h"
#include "model/appstate.h"
#include "model/statefile.h"

#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>

namespace tavix::test {

/// A new clock (with a stopwatch record) in `mode`.
inline ClockModel clockIn(ClockMode mode) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock 1"), AppSettings{});
    clock.mode = mode;
    clock.stopwatch = StopwatchSettings{0, false};
    return clock;
}

/// A clock the test moves by hand: the wall clock may be set anywhere, the elapsed clock only runs.
class FakeTimeSource final : public TimeSource {
public:
    explicit FakeTimeSource(QDateTime wall) : m_wall(std::move(wall)) {}
    QDateTime wallNow() const override { return m_wall; }
    std::int64_t elapsedNanoseconds() const override { return m_elapsedNs; }
    /// Time passes: both clocks move on.
    void advance(double seconds) {
        const auto ns = static_cast<std::int64_t>(seconds * 1e9);
        m_elapsedNs += ns;
        m_wall = m_wall.addMSecs(ns / 1'000'000);
    }
    /// Someone sets the system clock: only the wall clock jumps.
    void setWall(const QDateTime& wall) { m_wall = wall; }

private:
    QDateTime m_wall;
    std::int64_t m_elapsedNs = 5'000'000'000;
};

/// A store in a temporary folder (holding "Clock 1") and a hand-moved clock set to 12 June 2024 `at`.
struct Store {
    explicit Store(QTime at = QTime(12, 0)) : time(QDateTime(QDate(2024, 6, 12), at)) {}
    ~Store() { file->flushPendingWrites(); }
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    AppState state{file};
    FakeTimeSource time;
    RunningTimers timers{state, time};
    TickScheduler ticks{time};

    ClockModel clock(int i = 0) const { return state.clocks().at(i); }
    QUuid id(int i = 0) const { return clock(i).id; }
    void edit(int i, const std::function<void(ClockModel&)>& change) {
        ClockModel c = clock(i);
        change(c);
        state.setClock(i, c);
    }
    void edit(const std::function<void(ClockModel&)>& change) { edit(0, change); }
};

} // namespace tavix::test
