#include "settingstext.h"

#include "timefieldstate.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace tavix {

std::int64_t truncatedInt64(double value) {
    // Hand-edited files can hold any double; converting one outside 64 bits would be undefined.
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kLimit = 9.2e18;
    if (value >= kLimit) {
        return static_cast<std::int64_t>(kLimit);
    }
    if (value <= -kLimit) {
        return -static_cast<std::int64_t>(kLimit);
    }
    return static_cast<std::int64_t>(value);
}

QString offsetText(std::optional<double> offsetSeconds) {
    const std::int64_t minutes = truncatedInt64(offsetSeconds.value_or(0) / 60);
    const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
    return QString::asprintf("%s%lld:%02lld", minutes < 0 ? "-" : "+", static_cast<long long>(magnitude / 60),
                             static_cast<long long>(magnitude % 60));
}

namespace {

bool isSpaceOrTab(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isSign(QChar c) {
    return c == u'+' || c == u'-';
}

QStringView trimmedBy(QStringView text, bool (*drop)(QChar)) {
    while (!text.isEmpty() && drop(text.front())) {
        text = text.mid(1);
    }
    while (!text.isEmpty() && drop(text.back())) {
        text.chop(1);
    }
    return text;
}

} // namespace

double parseOffsetText(const QString& text) {
    const QStringView trimmed = trimmedBy(text, isSpaceOrTab);
    const bool negative = trimmed.startsWith(u'-');
    const QStringView unsignedText = trimmedBy(trimmed, isSign);
    const auto pieces = unsignedText.split(u':', Qt::SkipEmptyParts);
    if (pieces.size() < 2) {
        return 0;
    }
    const auto hours = parseDecimalInt64(pieces[0]);
    if (!hours) {
        return 0;
    }
    const auto minutePieces = pieces[1].split(u'.', Qt::SkipEmptyParts);
    const auto minutes =
        minutePieces.isEmpty() ? std::optional<std::int64_t>(0) : parseDecimalInt64(minutePieces[0]);
    if (!minutes) {
        return 0;
    }
    // Huge hours or minutes would overflow the sum; such text is as unusable as a letter.
    std::int64_t total = 0;
    if (__builtin_mul_overflow(*hours, std::int64_t{60}, &total) ||
        __builtin_add_overflow(total, *minutes, &total) ||
        __builtin_mul_overflow(total, std::int64_t{60}, &total)) {
        return 0;
    }
    return static_cast<double>(negative ? -total : total);
}

double steppedOffset(std::optional<double> offsetSeconds, int direction) {
    const double offset = offsetSeconds.value_or(0);
    // Not-a-number and infinity cannot be stepped from; start again at zero.
    const double hours = std::isfinite(offset) ? std::trunc(offset / 3600) : 0;
    return (hours + direction) * 3600;
}

QString percentageText(double fraction) {
    return QString::asprintf("%lld", static_cast<long long>(truncatedInt64(fraction * 100))) + u'%';
}

QString countdownStartText(double seconds) {
    const std::int64_t t = truncatedInt64(seconds);
    return QString::asprintf("%lld:%02lld", static_cast<long long>(t / 3600),
                             static_cast<long long>((t / 60) % 60));
}

QString modeMenuTitle(ClockMode mode) {
    switch (mode) {
    case ClockMode::clock:
        return QCoreApplication::translate("tavix::ClockMode", "Time");
    case ClockMode::countdown:
        return QCoreApplication::translate("tavix::ClockMode", "Countdown");
    case ClockMode::stopwatch:
        return QCoreApplication::translate("tavix::ClockMode", "Stopwatch");
    case ClockMode::timecode:
        return QCoreApplication::translate("tavix::ClockMode", "Timecode");
    case ClockMode::timeUntil:
        return QCoreApplication::translate("tavix::ClockMode", "Time until…");
    }
    return {};
}

QString modeCaption(ClockMode mode) {
    return mode == ClockMode::timeUntil ? QCoreApplication::translate("tavix::ClockMode", "Time Until")
                                        : modeMenuTitle(mode);
}

} // namespace tavix
