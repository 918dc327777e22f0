#pragma once

#include "display/timesource.h"

#include <cstdint>

namespace tavix::test {

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

} // namespace tavix::test
