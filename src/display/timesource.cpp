#include "timesource.h"

#include <ctime>

namespace tavix {

QDateTime SystemTimeSource::wallNow() const {
    return QDateTime::currentDateTime();
}

std::int64_t SystemTimeSource::elapsedNanoseconds() const {
    timespec ts{};
    clock_gettime(CLOCK_BOOTTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace tavix
