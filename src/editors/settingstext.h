#pragma once

#include "model/clockmodel.h"

#include <QString>

#include <optional>

// Pure text rules of the clock settings; thread safe.
namespace tavix {

/// The offset of a wall clock as sign, hours and two-digit minutes ("+5:30", "-0:01"); minutes are
/// truncated toward zero and an absent offset shows "+0:00".
QString offsetText(std::optional<double> offsetSeconds);

/// The seconds that typed offset text stands for: "[+|-]H:M" with white space around it, anything
/// after the first "." of the minutes and after a third piece ignored. Unusable text gives 0.
double parseOffsetText(const QString& text);

/// The offset after one stepper click (`direction` +1 or -1): whole hours, any minutes dropped.
double steppedOffset(std::optional<double> offsetSeconds, int direction);

/// An opacity as a truncated whole percentage: 0.85 gives "85%", 0.57 gives "56%".
QString percentageText(double fraction);

/// A countdown start as hours and two-digit minutes, seconds not shown: 5400 gives "1:30".
QString countdownStartText(double seconds);

/// The "Type" menu item of a mode ("Time until…" for time-until).
QString modeMenuTitle(ClockMode mode);
/// The mode caption of a clock row in the settings window ("Time Until" for time-until).
QString modeCaption(ClockMode mode);

/// `value` truncated toward zero and kept inside 64 bits; not-a-number gives 0.
std::int64_t truncatedInt64(double value);

} // namespace tavix
