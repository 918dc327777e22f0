#pragma once

#include "model/clockmodel.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace tavix {

// The run-time rules of the counting modes, as pure functions of a clock record and the view's
// `now` and flash phase. A rule that changes the record returns the record to write back.

/// Remaining time in the warning band: 0 <= remaining <= warningTime, or overtime.
bool isInWarningBand(const CountdownSettings& countdown);
/// Running into overtime with flashing asked for: the text blinks.
bool isCountdownFlashing(const CountdownSettings& countdown);

/// The running countdown lowered by `stepSeconds` (>= 0), or none when nothing runs.
std::optional<ClockModel> advanceCountdown(const ClockModel& clock, double stepSeconds);
/// The next flash phase after a tick of a countdown clock.
bool updateCountdownFlash(const ClockModel& clock, bool flashVisible);
std::optional<ClockModel> toggleCountdown(const ClockModel& clock);
std::optional<ClockModel> resetCountdown(const ClockModel& clock);

/// The running stopwatch advanced by `stepSeconds` (>= 0), or none when nothing runs.
std::optional<ClockModel> advanceStopwatch(const ClockModel& clock, double stepSeconds);
ClockModel toggleStopwatch(const ClockModel& clock);
ClockModel resetStopwatch(const ClockModel& clock);

/// Seconds from `now` to the target time of day counted to (today's, or tomorrow's after the
/// roll-over grace); 0 without settings or target.
double timeUntilRemaining(const ClockModel& clock, const QDateTime& now);
/// Reached when the target cannot be formed or remaining <= 0.
bool isTimeUntilAtTarget(const TimeUntilSettings& settings, const QDateTime& now);
bool isTimeUntilFlashing(const TimeUntilSettings& settings, const QDateTime& now);
/// The next flash phase after a tick of a time-until clock.
bool updateTimeUntilFlash(const ClockModel& clock, const QDateTime& now, bool flashVisible);

ColorValue currentTextColor(const ClockModel& clock, const QDateTime& now);
ColorValue currentOutlineColor(const ClockModel& clock, const QDateTime& now);

/// What the display area shows for a clock that is not in timecode mode.
struct DisplayContent {
    QString text;
    /// A message in the title style ("No Countdown Data", "No Target Time") instead of a number.
    bool isMessage = false;
    /// The text is drawn (false in the hidden phase of a flash).
    bool visible = true;
    bool operator==(const DisplayContent&) const = default;
};

/// The display of `clock` at `now`. A stopwatch without settings shows 0:00 (the engine stores the
/// settings on first display).
/// `overtimeAsPlus`: negative countdown and time-until values read "+1:05".
DisplayContent displayContent(const ClockModel& clock, const QDateTime& now, bool flashVisible,
                              const QString& localeId = {}, bool overtimeAsPlus = false);

} // namespace tavix
