#pragma once

#include "model/clockmodel.h"
#include "wallclock.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavix {

// How the digits read and what a face draws: texts with tenths or a plus in overtime, the texts
// the digit size is fitted to, the tenths cadence, and the colours of each flash phase.

/// Preferences of the whole application that change how values read.
struct DigitPreferences {
    /// Overtime reads "+1:05" instead of "-1:05".
    bool overtimeAsPlus = false;
    /// ICU locale id for the wall clock; a null string means the user's.
    QString localeId;
};

/// `formatDuration` with the sign shown, "+" in place of "-" when asked.
QString formatSigned(double seconds, bool plusForNegative);
/// Whole seconds as `formatDuration` gives them, then a point and the tenth (truncated); for
/// values from 0 on.
QString formatWithTenths(double seconds);

/// The countdown shows tenths now: asked for, and 0 <= remaining < 10.
bool countdownShowsTenths(const CountdownSettings& countdown);
QString countdownText(const CountdownSettings& countdown, bool overtimeAsPlus);
QString stopwatchText(const StopwatchSettings& stopwatch);

WallClockStyle wallClockStyle(const ClockModel& clock);

/// How long until the shown tenth of a second changes, when a running clock shows tenths or
/// starts to before its next whole second; none when nothing of the tenths shows, so that the
/// clock ticks once a second.
std::optional<double> secondsUntilTenthChange(const ClockModel& clock);

/// The texts the digits are sized for, digits all zero: the widest the clock can show in its
/// current range, so that the size stays while the value moves through it. A countdown's range
/// runs from its start value (or a higher value it was nudged to) into overtime, sign included;
/// a stopwatch's covers the hour (then ten hours, and so on) it is in; a time-until clock's is
/// its whole day; a wall clock's the longest time of day in its style.
QStringList widestTexts(const ClockModel& clock, const QDateTime& now, const DigitPreferences& prefs);

/// What a face draws in one flash phase.
struct FaceLook {
    ColorValue text;
    ColorValue outline;
    ColorValue background;
    bool textVisible = true;
    /// The outline is drawn twice as thick: the warning band, told apart without colour.
    bool thickOutline = false;
    bool operator==(const FaceLook&) const = default;
};

FaceLook faceLook(const ClockModel& clock, const QDateTime& now, bool flashVisible);

} // namespace tavix
