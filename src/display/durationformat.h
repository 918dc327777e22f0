#pragma once

#include <QString>

namespace tavix {

/// Whole seconds of `seconds` (truncated toward zero) as M:SS below one hour and H:MM:SS from one
/// hour on, hours unbounded; "-" in front only when `showSign` and the truncated value is negative.
/// Values that are not finite or do not fit 64 bits are clamped to the largest whole number of seconds.
QString formatDuration(double seconds, bool showSign);

} // namespace tavix
