#include "wallclock.h"

#include <QHash>

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/locid.h>
#include <unicode/simpletz.h>
#include <unicode/timezone.h>
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

// The offset ICU formats in at `epochMs`: the C library's local offset at that instant. The time
// shows no zone name, so the offset is all that matters, and the C library is what `date` and every
// other program follow: ICU knows zone names only, and with TZ set to a POSIX rule
// ("CET-1CEST,M3.5.0,M10.5.0/3", "IST-5:30", "<+0545>-5:45") it would find no zone and show UTC.
int32_t localOffsetMsAt(double epochMs) {
    tzset(); // localtime_r need not look at TZ again by itself
    const auto seconds = static_cast<time_t>(std::floor(epochMs / 1000.0));
    tm local{};
    return localtime_r(&seconds, &local) ? static_cast<int32_t>(local.tm_gmtoff * 1000) : 0;
}

} // namespace

QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds, const QString& localeId) {
    return wallClockText(now, offsetSeconds, localeId, WallClockStyle{});
}

namespace {

// The skeleton asks for the fields; the locale's generator turns it into its own pattern.
// "j" is the locale's preferred hour, "H" 24-hour, "h" 12-hour with the day period.
icu::UnicodeString skeletonFor(const WallClockStyle& style) {
    icu::UnicodeString skeleton = !style.use24Hour ? u"j" : (*style.use24Hour ? u"H" : u"h");
    skeleton += u"m";
    if (!style.hideSeconds) {
        skeleton += u"s";
    }
    return skeleton;
}

QString formatKey(const QString& id, const WallClockStyle& style) {
    const QLatin1Char hours =
        !style.use24Hour ? QLatin1Char('j') : (*style.use24Hour ? QLatin1Char('H') : QLatin1Char('h'));
    return id + QLatin1Char('/') + hours + (style.hideSeconds ? QLatin1Char('-') : QLatin1Char('s'));
}

icu::DateFormat* makeFormat(const QString& id, const WallClockStyle& style) {
    // Every format is given its zone before it formats. Without a default zone of its own, ICU would
    // look up the host's zone in its database for each new formatter's calendar, only for it to be
    // replaced: a quarter of a megabyte of zone data paged in for nothing.
    static const bool defaultZoneSet = [] {
        icu::TimeZone::adoptDefault(new icu::SimpleTimeZone(0, icu::UnicodeString(u"Local")));
        return true;
    }();
    (void)defaultZoneSet;
    const icu::Locale locale = id.isEmpty() ? icu::Locale::getRoot() : icu::Locale(id.toUtf8().constData());
    if (style.isLocaleDefault()) {
        return icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale);
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    const icu::UnicodeString pattern = generator->getBestPattern(skeletonFor(style), status);
    if (U_FAILURE(status)) {
        return nullptr;
    }
    auto format = std::make_unique<icu::SimpleDateFormat>(pattern, locale, status);
    return U_SUCCESS(status) ? format.release() : nullptr;
}

} // namespace

QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds, const QString& localeId,
                      const WallClockStyle& style) {
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
    const QString key = formatKey(id, style);
    std::shared_ptr<icu::DateFormat>& format = formats[key];
    if (!format) {
        format.reset(makeFormat(id, style));
    }
    if (!format) {
        formats.remove(key);
        const bool twelve = style.use24Hour && !*style.use24Hour;
        QString pattern = twelve ? QStringLiteral("h:mm") : QStringLiteral("HH:mm");
        if (!style.hideSeconds) {
            pattern += QStringLiteral(":ss");
        }
        if (twelve) {
            pattern += QStringLiteral(" AP");
        }
        return now.addMSecs(static_cast<qint64>(offset * 1000.0)).toString(pattern);
    }
    // A format's zone is a fixed offset (ICU's default zone is one too): a new one only when the
    // local offset changes, not at every tick.
    const int32_t offsetMs = localOffsetMsAt(epochMs);
    if (format->getTimeZone().getRawOffset() != offsetMs) {
        format->adoptTimeZone(new icu::SimpleTimeZone(offsetMs, icu::UnicodeString(u"Local")));
    }
    icu::UnicodeString text;
    format->format(static_cast<UDate>(epochMs), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

QStringList widestWallClockTexts(const QString& localeId, const WallClockStyle& style) {
    // Asked for at every tick of every wall clock; the answer only depends on the arguments.
    static QHash<QString, QStringList> known;
    const QString key = formatKey(localeId.isNull() ? userTimeLocaleId() : localeId, style);
    if (const auto it = known.constFind(key); it != known.constEnd()) {
        return *it;
    }
    QStringList& texts = known[key];
    // Two-digit hours in the morning and in the evening of a day without a daylight-saving change.
    const QDate day(2001, 1, 1);
    for (int hour : {10, 22}) {
        QString text = wallClockText(QDateTime(day, QTime(hour, 0)), std::nullopt, localeId, style);
        for (QChar& c : text) {
            if (c.isDigit()) {
                c = QLatin1Char('0');
            }
        }
        texts.append(text);
    }
    return texts;
}

} // namespace tavix
