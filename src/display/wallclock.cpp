#include "wallclock.h"

#include <QHash>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/timezone.h>
#include <unicode/ucal.h>
#include <unicode/unistr.h>

#include <cmath>
#include <ctime>
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

namespace {

// The zone ICU should format in at `epochMs`: the host zone as ICU names it, as long as it agrees
// with the C library's local time at that instant, else a fixed zone at the C library's offset.
// ICU knows zone names only: with TZ set to a POSIX rule ("CET-1CEST,M3.5.0,M10.5.0/3",
// "IST-5:30", "<+0545>-5:45") it finds no zone and would show UTC, while `date` and every other
// program follow the C library. The time shows no zone name, so the offset is all that matters.
std::unique_ptr<icu::TimeZone> localZoneAt(double epochMs) {
    // Detecting the host zone reads files; keep it while TZ stays the same. A zone that no longer
    // agrees with the C library is caught below.
    static QByteArray detectedFor;
    static std::unique_ptr<icu::TimeZone> detected;
    const QByteArray tz = qgetenv("TZ");
    if (!detected || tz != detectedFor) {
        detected.reset(icu::TimeZone::detectHostTimeZone());
        detectedFor = tz;
    }
    tzset(); // localtime_r need not look at TZ again by itself
    const auto seconds = static_cast<time_t>(std::floor(epochMs / 1000.0));
    tm local{};
    if (!localtime_r(&seconds, &local)) {
        return std::unique_ptr<icu::TimeZone>(detected ? detected->clone() : icu::TimeZone::createDefault());
    }
    const auto libcOffsetMs = static_cast<int32_t>(local.tm_gmtoff * 1000);
    if (detected) {
        icu::UnicodeString id;
        detected->getID(id);
        int32_t raw = 0;
        int32_t dst = 0;
        UErrorCode status = U_ZERO_ERROR;
        detected->getOffset(epochMs, false, raw, dst, status);
        if (id != icu::UnicodeString(UCAL_UNKNOWN_ZONE_ID) && U_SUCCESS(status) &&
            raw + dst == libcOffsetMs) {
            return std::unique_ptr<icu::TimeZone>(detected->clone());
        }
    }
    return std::make_unique<icu::SimpleTimeZone>(libcOffsetMs, icu::UnicodeString(u"Local"));
}

} // namespace

QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds, const QString& localeId) {
    double offset = offsetSeconds.value_or(0.0);
    // A hand-edited file may hold anything; a shift beyond a century means nothing on a clock face.
    if (!std::isfinite(offset) || std::fabs(offset) > 100.0 * 366 * 86400) {
        offset = 0;
    }
    const double epochMs = static_cast<double>(now.toMSecsSinceEpoch()) + offset * 1000.0;

    const QString id = localeId.isNull() ? userTimeLocaleId() : localeId;
    // One formatter per locale: making one costs far more than formatting with it. The zone is set
    // on every call, so a change of the system time zone shows at the next tick.
    static QHash<QString, std::shared_ptr<icu::DateFormat>> formats;
    std::shared_ptr<icu::DateFormat>& format = formats[id];
    if (!format) {
        const icu::Locale locale =
            id.isEmpty() ? icu::Locale::getRoot() : icu::Locale(id.toUtf8().constData());
        format.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
    }
    if (!format) {
        formats.remove(id);
        return now.addMSecs(static_cast<qint64>(offset * 1000.0)).toString(QStringLiteral("HH:mm:ss"));
    }
    format->adoptTimeZone(localZoneAt(epochMs).release());
    icu::UnicodeString text;
    format->format(static_cast<UDate>(epochMs), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

} // namespace tavix
