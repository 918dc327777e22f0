#pragma once

#include "display/runningtimers.h"
#include "display/tickscheduler.h"
#include "display/timesource.h"
#include "support/storetest.h"

#include <cstdint>

namespace tavix::test {

/// A new clock (with a stopwatch record) in `mode`.
inline ClockModel clockIn(ClockMode mode) {
    ClockModel clock = makeClock("Clock 1", mode);
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

/// A store (holding "Clock 1") with running timers and ticks on a hand-moved clock set to 12 June
/// 2024 `at`.
struct TimedStore : Store {
    explicit TimedStore(QTime at = QTime(12, 0)) : time(QDateTime(QDate(2024, 6, 12), at)) {}
    FakeTimeSource time;
    RunningTimers timers{state, time};
    TickScheduler ticks{time};
};

} // namespace tavix::test
