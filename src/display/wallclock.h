#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace tavix {

/// `now` shifted by `offsetSeconds` (none counts as 0), as the locale's medium time (hours, minutes
/// and seconds) in the system time zone. `localeId` is an ICU locale id; empty means the user's.
/// The offset is a shift of the local time, not a distance from UTC.
QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds,
                      const QString& localeId = {});

/// How a wall clock reads beyond the locale's medium time.
struct WallClockStyle {
    /// 24-hour (true) or 12-hour (false) time; none keeps the locale's choice.
    std::optional<bool> use24Hour;
    bool hideSeconds = false;
    bool isLocaleDefault() const { return !use24Hour && !hideSeconds; }
    bool operator==(const WallClockStyle&) const = default;
};

/// The same in `style`: the locale's own pattern for those fields (its separators, its AM/PM).
QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds, const QString& localeId,
                      const WallClockStyle& style);

/// The longest texts the wall clock can show in a day in `style`, digits all zero: one for the
/// morning and one for the evening (their AM/PM marks differ in width).
QStringList widestWallClockTexts(const QString& localeId, const WallClockStyle& style);

/// The ICU locale id for formatting times: LC_ALL, else LC_TIME, else LANG, without encoding and
/// modifier. The C and POSIX locales map to ICU's root locale (24-hour time).
QString userTimeLocaleId();

} // namespace tavix
