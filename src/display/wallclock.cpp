#include "wallclock.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>

namespace tavix {

QString userTimeLocaleId() {
    QByteArray value;
    for (const char* name : {"LC_ALL", "LC_TIME", "LANG"}) {
        value = qgetenv(name);
        if (!value.isEmpty()) {
            break;
        }
    }
    QString id = QString::fromLatin1(value);
    id = id.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (id.isEmpty() || id == QLatin1String("C") || id == QLatin1String("POSIX")) {
        return QString();
    }
    return id;
}

QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds, const QString& localeId) {
    double offset = offsetSeconds.value_or(0.0);
    // A hand-edited file may hold anything; a shift beyond a century means nothing on a clock face.
    if (!std::isfinite(offset) || std::fabs(offset) > 100.0 * 366 * 86400) {
        offset = 0;
    }
    const double epochMs = static_cast<double>(now.toMSecsSinceEpoch()) + offset * 1000.0;

    const QString id = localeId.isNull() ? userTimeLocaleId() : localeId;
    const icu::Locale locale = id.isEmpty() ? icu::Locale::getRoot() : icu::Locale(id.toUtf8().constData());
    // A fresh formatter and the host's current zone on every call, so a change of the system time
    // zone shows at the next tick; ICU caches the locale data, so this stays cheap.
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
    if (!format) {
        return now.addMSecs(static_cast<qint64>(offset * 1000.0)).toString(QStringLiteral("HH:mm:ss"));
    }
    format->adoptTimeZone(icu::TimeZone::detectHostTimeZone());
    icu::UnicodeString text;
    format->format(static_cast<UDate>(epochMs), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace tavix
