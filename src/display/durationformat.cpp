#include "durationformat.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace tavix {

namespace {

// Truncation toward zero that cannot overflow: a hand-edited file may hold any double.
std::int64_t truncatedSeconds(double seconds) {
    if (std::isnan(seconds)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18; // just inside the 64-bit range
    if (seconds >= kLimit) {
        return static_cast<std::int64_t>(kLimit);
    }
    if (seconds <= -kLimit) {
        return -static_cast<std::int64_t>(kLimit);
    }
    return static_cast<std::int64_t>(seconds);
}

} // namespace

QString formatDuration(double seconds, bool showSign) {
    const std::int64_t t = truncatedSeconds(seconds);
    const std::uint64_t a = t < 0 ? static_cast<std::uint64_t>(-t) : static_cast<std::uint64_t>(t);
    const std::uint64_t hours = a / 3600;
    const std::uint64_t minutes = (a % 3600) / 60;
    const std::uint64_t secs = a % 60;
    const char* sign = (showSign && t < 0) ? "-" : "";
    if (a < 3600) {
        return QString::asprintf("%s%llu:%02llu", sign, static_cast<unsigned long long>(minutes),
                                 static_cast<unsigned long long>(secs));
    }
    return QString::asprintf("%s%llu:%02llu:%02llu", sign, static_cast<unsigned long long>(hours),
                             static_cast<unsigned long long>(minutes), static_cast<unsigned long long>(secs));
}

} // namespace tavix
