#include "moderules.h"

#include "digitrules.h"
#include "durationformat.h"
#include "wallclock.h"

#include <QCoreApplication>

namespace tavix {

bool isInWarningBand(const CountdownSettings& countdown) {
    return countdown.remaining < 0 ||
           (countdown.remaining >= 0 && countdown.remaining <= countdown.warningTime);
}

bool isCountdownFlashing(const CountdownSettings& countdown) {
    return countdown.remaining < 0 && countdown.flashWhenDone && countdown.isRunning;
}

std::optional<ClockModel> advanceCountdown(const ClockModel& clock, double stepSeconds) {
    if (!clock.countdown || !clock.countdown->isRunning) {
        return std::nullopt;
    }
    ClockModel next = clock;
    next.countdown->remaining -= stepSeconds;
    next.countdown->isRunning = true;
    return next;
}

bool updateCountdownFlash(const ClockModel& clock, bool flashVisible) {
    if (!clock.countdown) {
        return flashVisible;
    }
    return isCountdownFlashing(*clock.countdown) ? !flashVisible : true;
}

std::optional<ClockModel> toggleCountdown(const ClockModel& clock) {
    if (!clock.countdown) {
        return std::nullopt;
    }
    ClockModel next = clock;
    next.countdown->isRunning = !clock.countdown->isRunning;
    return next;
}

std::optional<ClockModel> resetCountdown(const ClockModel& clock) {
    if (!clock.countdown) {
        return std::nullopt;
    }
    ClockModel next = clock;
    next.countdown->remaining = clock.countdown->duration;
    next.countdown->isRunning = false;
    return next;
}

std::optional<ClockModel> advanceStopwatch(const ClockModel& clock, double stepSeconds) {
    if (!clock.stopwatch || !clock.stopwatch->isRunning) {
        return std::nullopt;
    }
    ClockModel next = clock;
    next.stopwatch->elapsed += stepSeconds;
    next.stopwatch->isRunning = true;
    return next;
}

// Both change the record in place, so that keys of a newer Tavix in it stay.
ClockModel toggleStopwatch(const ClockModel& clock) {
    ClockModel next = clock;
    StopwatchSettings& stopwatch =
        next.stopwatch.emplace(clock.stopwatch.value_or(StopwatchSettings{0, false}));
    stopwatch.isRunning = !stopwatch.isRunning;
    return next;
}

ClockModel resetStopwatch(const ClockModel& clock) {
    ClockModel next = clock;
    StopwatchSettings& stopwatch =
        next.stopwatch.emplace(clock.stopwatch.value_or(StopwatchSettings{0, false}));
    stopwatch.elapsed = 0;
    stopwatch.isRunning = false;
    return next;
}

double timeUntilRemaining(const ClockModel& clock, const QDateTime& now) {
    if (!clock.timeUntil) {
        return 0;
    }
    const auto target = clock.timeUntil->countedTarget(now);
    if (!target) {
        return 0;
    }
    return static_cast<double>(now.msecsTo(*target)) / 1000.0;
}

bool isTimeUntilAtTarget(const TimeUntilSettings& settings, const QDateTime& now) {
    const auto target = settings.countedTarget(now);
    return !target || now.msecsTo(*target) <= 0;
}

bool isTimeUntilFlashing(const TimeUntilSettings& settings, const QDateTime& now) {
    return settings.flashAtTarget && isTimeUntilAtTarget(settings, now);
}

bool updateTimeUntilFlash(const ClockModel& clock, const QDateTime& now, bool flashVisible) {
    if (!clock.timeUntil) {
        return flashVisible;
    }
    return isTimeUntilFlashing(*clock.timeUntil, now) ? !flashVisible : true;
}

namespace {

enum class ColourState { normal, warning, overtime, atTarget };

ColourState colourState(const ClockModel& clock, const QDateTime& now) {
    if (clock.mode == ClockMode::timeUntil && clock.timeUntil && isTimeUntilAtTarget(*clock.timeUntil, now)) {
        return ColourState::atTarget;
    }
    if (clock.mode == ClockMode::countdown && clock.countdown && isInWarningBand(*clock.countdown)) {
        return clock.countdown->remaining < 0 ? ColourState::overtime : ColourState::warning;
    }
    return ColourState::normal;
}

} // namespace

ColorValue currentTextColor(const ClockModel& clock, const QDateTime& now) {
    switch (colourState(clock, now)) {
    case ColourState::atTarget:
        return clock.timeUntil->atTargetForegroundColor;
    case ColourState::warning:
        return clock.countdown->warningForegroundColor;
    case ColourState::overtime:
        return clock.countdown->overtimeForeground();
    case ColourState::normal:
        break;
    }
    return clock.foregroundColor;
}

ColorValue currentOutlineColor(const ClockModel& clock, const QDateTime& now) {
    switch (colourState(clock, now)) {
    case ColourState::atTarget:
        return clock.timeUntil->atTargetOutlineColor;
    case ColourState::warning:
        return clock.countdown->warningOutlineColor;
    case ColourState::overtime:
        return clock.countdown->overtimeOutline();
    case ColourState::normal:
        break;
    }
    return clock.outlineColor;
}

DisplayContent displayContent(const ClockModel& clock, const QDateTime& now, bool flashVisible,
                              const QString& localeId, bool overtimeAsPlus) {
    switch (clock.mode) {
    case ClockMode::clock:
        return {wallClockText(now, clock.timeZoneOffset, localeId, wallClockStyle(clock)), false, true};
    case ClockMode::countdown:
        if (!clock.countdown) {
            return {QCoreApplication::translate("tavix::ClockWindow", "No Countdown Data"), true, true};
        }
        return {countdownText(*clock.countdown, overtimeAsPlus), false,
                faceLook(clock, now, flashVisible).textVisible};
    case ClockMode::stopwatch:
        return {clock.stopwatch ? stopwatchText(*clock.stopwatch) : formatDuration(0, false), false, true};
    case ClockMode::timeUntil: {
        if (!clock.timeUntil) {
            return {QCoreApplication::translate("tavix::ClockWindow", "No Target Time"), true, true};
        }
        const double remaining = timeUntilRemaining(clock, now);
        // The flash follows remaining <= 0 only, so an unformable target (remaining 0) flashes too.
        const bool flashing = remaining <= 0 && clock.timeUntil->flashAtTarget;
        return {formatSigned(remaining, overtimeAsPlus), false, !flashing || flashVisible};
    }
    case ClockMode::timecode:
        break;
    }
    return {};
}

} // namespace tavix
