#include "digitrules.h"

#include "durationformat.h"
#include "moderules.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

constexpr double kSecondsPerDay = 86400;
// A tick lands this long after the shown tenth changes, as the whole-second ticks do.
constexpr double kAfterChange = 0.003;

QString zeroDigits(QString text) {
    for (QChar& c : text) {
        if (c.isDigit()) {
            c = QLatin1Char('0');
        }
    }
    return text;
}

double finiteOr(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

// The tenth shown for `seconds` >= 0, truncated; the small bias keeps 9.9, held as 9.89999…, at 9.9.
int tenthOf(double seconds) {
    const double tenths = std::floor(seconds * 10.0 + 1e-9);
    return static_cast<int>(std::fmod(tenths, 10.0));
}

} // namespace

QString formatSigned(double seconds, bool plusForNegative) {
    QString text = formatDuration(seconds, true);
    if (plusForNegative && text.startsWith(QLatin1Char('-'))) {
        text[0] = QLatin1Char('+');
    }
    return text;
}

QString formatWithTenths(double seconds) {
    seconds = std::max(0.0, finiteOr(seconds, 0.0));
    // The whole seconds follow the tenth, so that 9.99999 reads 0:09.9 and never 0:10.9.
    const double whole = std::floor(std::floor(seconds * 10.0 + 1e-9) / 10.0);
    return formatDuration(whole, false) + QLatin1Char('.') + QChar(u'0' + tenthOf(seconds));
}

bool countdownShowsTenths(const CountdownSettings& countdown) {
    return countdown.showTenths && countdown.remaining >= 0 && countdown.remaining < 10;
}

QString countdownText(const CountdownSettings& countdown, bool overtimeAsPlus) {
    if (countdownShowsTenths(countdown)) {
        return formatWithTenths(countdown.remaining);
    }
    return formatSigned(countdown.remaining, overtimeAsPlus);
}

QString stopwatchText(const StopwatchSettings& stopwatch) {
    return stopwatch.showTenths ? formatWithTenths(stopwatch.elapsed)
                                : formatDuration(stopwatch.elapsed, false);
}

WallClockStyle wallClockStyle(const ClockModel& clock) {
    return WallClockStyle{clock.use24HourTime, clock.hideSeconds};
}

std::optional<double> secondsUntilTenthChange(const ClockModel& clock) {
    if (clock.mode == ClockMode::stopwatch && clock.stopwatch && clock.stopwatch->isRunning &&
        clock.stopwatch->showTenths && std::isfinite(clock.stopwatch->elapsed)) {
        // Only the phase within the second matters.
        const double value = std::fmod(std::max(0.0, clock.stopwatch->elapsed), 1.0);
        const double next = (std::floor(value * 10.0 + 1e-9) + 1) / 10.0;
        return next - value + kAfterChange;
    }
    if (clock.mode == ClockMode::countdown && clock.countdown && clock.countdown->isRunning &&
        clock.countdown->showTenths && std::isfinite(clock.countdown->remaining)) {
        const double value = clock.countdown->remaining;
        // The next tenth shown below `value`; it shows once the value falls under it.
        const double next = (std::ceil(value * 10.0 - 1e-9) - 1) / 10.0;
        // Tenths begin once the value falls under 10; none in overtime.
        if (next < 0 || next > 10) {
            return std::nullopt;
        }
        return value - next + kAfterChange;
    }
    return std::nullopt;
}

QStringList widestTexts(const ClockModel& clock, const QDateTime& now, const DigitPreferences& prefs) {
    const QString sign = prefs.overtimeAsPlus ? QStringLiteral("+") : QStringLiteral("-");
    switch (clock.mode) {
    case ClockMode::clock:
        return widestWallClockTexts(prefs.localeId, wallClockStyle(clock));
    case ClockMode::countdown: {
        if (!clock.countdown) {
            return {};
        }
        const CountdownSettings& c = *clock.countdown;
        const double remaining = finiteOr(c.remaining, 0);
        const double top = std::max({finiteOr(c.duration, 0), remaining, 0.0});
        // Overtime starts at -0:01; once it is longer, its own length is the range.
        const double overtime = std::max(1.0, -remaining);
        QStringList texts{zeroDigits(formatDuration(top, false)),
                          sign + zeroDigits(formatDuration(overtime, false))};
        if (c.showTenths) {
            texts.append(zeroDigits(formatWithTenths(std::min(top, 9.9))));
        }
        return texts;
    }
    case ClockMode::stopwatch: {
        const double elapsed = clock.stopwatch ? std::max(0.0, finiteOr(clock.stopwatch->elapsed, 0)) : 0.0;
        // Minutes run to two digits within the first hour; from then on the hours grow one digit
        // at a time.
        const double hours = std::floor(elapsed / 3600);
        QString text = hours < 1 ? QStringLiteral("00:00") : zeroDigits(formatDuration(elapsed, false));
        if (clock.stopwatch && clock.stopwatch->showTenths) {
            text += QStringLiteral(".0");
        }
        return {text};
    }
    case ClockMode::timeUntil: {
        if (!clock.timeUntil) {
            return {};
        }
        const TimeUntilSettings& t = *clock.timeUntil;
        double target = std::fmod(finiteOr(static_cast<double>(t.targetHour) * 3600 +
                                               static_cast<double>(t.targetMinute) * 60 +
                                               static_cast<double>(t.targetSecond),
                                           0),
                                  kSecondsPerDay);
        if (target < 0) {
            target += kSecondsPerDay;
        }
        // Without a roll-over the day runs from the full time before the target (at midnight) to
        // the overtime at the end of the day; with one, up to a day ahead and the grace behind.
        double ahead = target;
        double behind = kSecondsPerDay - target;
        if (t.rollOverAfter && std::isfinite(*t.rollOverAfter)) {
            const double grace = std::max(0.0, *t.rollOverAfter);
            behind = std::min(behind, grace);
            ahead = std::max(ahead, kSecondsPerDay - grace);
        }
        // The clock's own value belongs to its range even when the calendar's day is longer.
        const double remaining = timeUntilRemaining(clock, now);
        ahead = std::max({ahead - 1, remaining, 0.0});
        behind = std::max({behind - 1, -remaining, 1.0});
        return {zeroDigits(formatDuration(ahead, false)), sign + zeroDigits(formatDuration(behind, false))};
    }
    case ClockMode::timecode:
        break;
    }
    return {};
}

FaceLook faceLook(const ClockModel& clock, const QDateTime& now, bool flashVisible) {
    FaceLook look{currentTextColor(clock, now), currentOutlineColor(clock, now), clock.backgroundColor};
    if (clock.mode == ClockMode::countdown && clock.countdown) {
        const CountdownSettings& c = *clock.countdown;
        look.thickOutline = c.remaining >= 0 && c.remaining <= c.warningTime;
        if (isCountdownFlashing(c) && !flashVisible) {
            if (c.overtimeFlashStyle == OvertimeFlashStyle::text) {
                look.textVisible = false;
            } else {
                // The face turns over: the overtime colours fill it and the digits take the
                // background's colour, opaque, so they read in both phases.
                const RgbaComponents back = clock.backgroundColor.components();
                look.background = c.overtimeOutline();
                look.outline = c.overtimeForeground();
                look.text = ColorValue::srgb(back.red, back.green, back.blue, 1);
            }
        }
    } else if (clock.mode == ClockMode::timeUntil && clock.timeUntil) {
        look.textVisible = flashVisible || !isTimeUntilFlashing(*clock.timeUntil, now);
    }
    return look;
}

} // namespace tavix
