#include "clockmodel.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavix {

const std::array<ClockMode, 5>& allClockModes() {
    static const std::array<ClockMode, 5> modes{ClockMode::clock, ClockMode::countdown, ClockMode::stopwatch,
                                                ClockMode::timecode, ClockMode::timeUntil};
    return modes;
}

QString rawValue(ClockMode mode) {
    switch (mode) {
    case ClockMode::clock:
        return QStringLiteral("clock");
    case ClockMode::countdown:
        return QStringLiteral("countdown");
    case ClockMode::stopwatch:
        return QStringLiteral("stopwatch");
    case ClockMode::timecode:
        return QStringLiteral("timecode");
    case ClockMode::timeUntil:
        return QStringLiteral("timeUntil");
    }
    return {};
}

std::optional<ClockMode> clockModeFromRawValue(const QString& raw) {
    for (ClockMode mode : allClockModes()) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}

QString rawValue(CaptionKind kind) {
    switch (kind) {
    case CaptionKind::none:
        return QStringLiteral("none");
    case CaptionKind::name:
        return QStringLiteral("name");
    case CaptionKind::message:
        return QStringLiteral("message");
    }
    return {};
}

std::optional<CaptionKind> captionKindFromRawValue(const QString& raw) {
    for (CaptionKind kind : {CaptionKind::none, CaptionKind::name, CaptionKind::message}) {
        if (rawValue(kind) == raw) {
            return kind;
        }
    }
    return std::nullopt;
}

const std::array<TimecodeFrameRate, 6>& allTimecodeFrameRates() {
    static const std::array<TimecodeFrameRate, 6> rates{
        TimecodeFrameRate::fps23_976, TimecodeFrameRate::fps24,      TimecodeFrameRate::fps25,
        TimecodeFrameRate::fps29_97,  TimecodeFrameRate::fps29_97DF, TimecodeFrameRate::fps30};
    return rates;
}

QString rawValue(TimecodeFrameRate rate) {
    switch (rate) {
    case TimecodeFrameRate::fps23_976:
        return QStringLiteral("23.976");
    case TimecodeFrameRate::fps24:
        return QStringLiteral("24");
    case TimecodeFrameRate::fps25:
        return QStringLiteral("25");
    case TimecodeFrameRate::fps29_97:
        return QStringLiteral("29.97");
    case TimecodeFrameRate::fps29_97DF:
        return QStringLiteral("29.97 DF");
    case TimecodeFrameRate::fps30:
        return QStringLiteral("30");
    }
    return {};
}

QString rawValue(OvertimeFlashStyle style) {
    switch (style) {
    case OvertimeFlashStyle::text:
        return QStringLiteral("text");
    case OvertimeFlashStyle::outlineAndBackground:
        return QStringLiteral("outlineAndBackground");
    }
    return {};
}

std::optional<OvertimeFlashStyle> overtimeFlashStyleFromRawValue(const QString& raw) {
    for (OvertimeFlashStyle style : {OvertimeFlashStyle::text, OvertimeFlashStyle::outlineAndBackground}) {
        if (rawValue(style) == raw) {
            return style;
        }
    }
    return std::nullopt;
}

std::optional<TimecodeFrameRate> timecodeFrameRateFromRawValue(const QString& raw) {
    for (TimecodeFrameRate rate : allTimecodeFrameRates()) {
        if (rawValue(rate) == raw) {
            return rate;
        }
    }
    return std::nullopt;
}

double framesPerSecond(TimecodeFrameRate rate) {
    switch (rate) {
    case TimecodeFrameRate::fps23_976:
        return 23.976;
    case TimecodeFrameRate::fps24:
        return 24;
    case TimecodeFrameRate::fps25:
        return 25;
    case TimecodeFrameRate::fps29_97:
    case TimecodeFrameRate::fps29_97DF:
        return 29.97;
    case TimecodeFrameRate::fps30:
        return 30;
    }
    return 30;
}

namespace {

// A hand-edited file may hold NaN, infinities or values beyond 64 bits; clamp instead of
// converting them with undefined behaviour.
std::int64_t wholeSeconds(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 0x1p63) {
        return std::numeric_limits<std::int64_t>::max();
    }
    if (value < -0x1p63) {
        return std::numeric_limits<std::int64_t>::min();
    }
    return static_cast<std::int64_t>(value);
}

struct Hms {
    std::int64_t hours;
    std::int64_t minutes;
    std::int64_t seconds;
};

Hms split(double value) {
    const std::int64_t t = wholeSeconds(value);
    return {t / 3600, (t % 3600) / 60, t % 60};
}

// hours × 3600 + minutes × 60 + seconds, or none when it overflows.
std::optional<double> combine(const Hms& parts) {
    std::int64_t hourSeconds = 0;
    std::int64_t minuteSeconds = 0;
    std::int64_t sum = 0;
    if (__builtin_mul_overflow(parts.hours, std::int64_t{3600}, &hourSeconds) ||
        __builtin_mul_overflow(parts.minutes, std::int64_t{60}, &minuteSeconds) ||
        __builtin_add_overflow(hourSeconds, minuteSeconds, &sum) ||
        __builtin_add_overflow(sum, parts.seconds, &sum)) {
        return std::nullopt;
    }
    return static_cast<double>(sum);
}

void writeComponent(double& stored, std::int64_t Hms::*component, std::int64_t value) {
    Hms parts = split(stored);
    parts.*component = value;
    if (const auto combined = combine(parts)) {
        stored = *combined;
    }
}

} // namespace

std::int64_t CountdownSettings::durationHours() const {
    return split(duration).hours;
}
std::int64_t CountdownSettings::durationMinutes() const {
    return split(duration).minutes;
}
std::int64_t CountdownSettings::durationSeconds() const {
    return split(duration).seconds;
}
void CountdownSettings::setDurationHours(std::int64_t value) {
    writeComponent(duration, &Hms::hours, value);
}
void CountdownSettings::setDurationMinutes(std::int64_t value) {
    writeComponent(duration, &Hms::minutes, value);
}
void CountdownSettings::setDurationSeconds(std::int64_t value) {
    writeComponent(duration, &Hms::seconds, value);
}
std::int64_t CountdownSettings::warningTimeHours() const {
    return split(warningTime).hours;
}
std::int64_t CountdownSettings::warningTimeMinutes() const {
    return split(warningTime).minutes;
}
std::int64_t CountdownSettings::warningTimeSeconds() const {
    return split(warningTime).seconds;
}
void CountdownSettings::setWarningTimeHours(std::int64_t value) {
    writeComponent(warningTime, &Hms::hours, value);
}
void CountdownSettings::setWarningTimeMinutes(std::int64_t value) {
    writeComponent(warningTime, &Hms::minutes, value);
}
void CountdownSettings::setWarningTimeSeconds(std::int64_t value) {
    writeComponent(warningTime, &Hms::seconds, value);
}

std::optional<QDateTime> TimeUntilSettings::targetToday(const QDateTime& now) const {
    const auto secondsIntoDay = combine({targetHour, targetMinute, targetSecond});
    if (!secondsIntoDay) {
        return std::nullopt;
    }
    // Out-of-range components roll over into neighbouring days, as a lenient calendar does.
    const auto total = static_cast<std::int64_t>(*secondsIntoDay);
    std::int64_t days = total / 86400;
    std::int64_t rest = total % 86400;
    if (rest < 0) {
        rest += 86400;
        days -= 1;
    }
    const QDate today = now.toLocalTime().date();
    const QDate day = today.addDays(days);
    if (!day.isValid()) {
        return std::nullopt;
    }
    const QTime time = QTime::fromMSecsSinceStartOfDay(static_cast<int>(rest * 1000));
    QDateTime target(day, time);
    if (!target.isValid()) {
        // A local time skipped by a daylight-saving change: count from the start of that day instead.
        target = day.startOfDay().addSecs(rest);
    }
    if (!target.isValid()) {
        return std::nullopt;
    }
    return target;
}

ClockModel ClockModel::makeNew(const QUuid& id, const QString& name, const AppSettings& settings) {
    ClockModel clock;
    clock.id = id;
    clock.name = name;
    clock.mode = ClockMode::clock;
    clock.foregroundColor = settings.defaultForegroundColor;
    clock.backgroundColor = settings.defaultBackgroundColor;
    clock.outlineColor = settings.defaultOutlineColor;
    clock.opacity = settings.defaultOpacity;
    clock.alwaysOnTop = settings.defaultAlwaysOnTop;
    clock.windowOrigin = {100, 100};
    clock.windowSize = {600, 200};
    clock.timeZoneOffset = 0.0;
    clock.countdown = CountdownSettings{settings.defaultCountdownDuration,
                                        settings.defaultCountdownDuration,
                                        false,
                                        60,
                                        ColorValue::yellow(),
                                        ColorValue::yellow(),
                                        true};
    clock.stopwatch = StopwatchSettings{0, false};
    clock.timecode = TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0};
    clock.timeUntil = TimeUntilSettings{18,
                                        0,
                                        0,
                                        settings.defaultTimeUntilAtTargetForegroundColor,
                                        settings.defaultTimeUntilAtTargetOutlineColor,
                                        settings.defaultTimeUntilFlashAtTarget};
    return clock;
}

QString uuidText(const QUuid& id) {
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromText(const QString& text) {
    // Only the hyphenated 8-4-4-4-12 form: QUuid alone would also take braces and other lengths.
    if (text.size() != 36) {
        return std::nullopt;
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        if (hyphen ? c != u'-' : !hex) {
            return std::nullopt;
        }
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000")) {
        return std::nullopt;
    }
    return id;
}

std::optional<QDateTime> TimeUntilSettings::countedTarget(const QDateTime& now) const {
    const auto today = targetToday(now);
    if (!today || !rollOverAfter || !std::isfinite(*rollOverAfter)) {
        return today;
    }
    const double grace = std::max(0.0, *rollOverAfter);
    if (static_cast<double>(today->msecsTo(now)) / 1000.0 <= grace) {
        return today;
    }
    // Tomorrow's target, formed on tomorrow's date so that a change of daylight saving between
    // the two days is kept.
    return targetToday(now.toLocalTime().addDays(1));
}

} // namespace tavix
