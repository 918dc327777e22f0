#pragma once

#include <QDateTime>

#include <cstdint>

namespace tavix {

/// Where the tick engine reads time: the wall clock for what a clock shows, and a clock that counts
/// through suspend but is immune to the wall clock being set, for how much time has passed.
/// Main thread only.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual QDateTime wallNow() const = 0;
    /// Nanoseconds on a clock that never jumps (CLOCK_BOOTTIME).
    virtual std::int64_t elapsedNanoseconds() const = 0;
};

/// The machine's clocks.
class SystemTimeSource final : public TimeSource {
public:
    QDateTime wallNow() const override;
    std::int64_t elapsedNanoseconds() const override;
};

} // namespace tavix
