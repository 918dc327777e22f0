#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tavix {

/// `now` shifted by `offsetSeconds` (none counts as 0), as the locale's medium time (hours, minutes
/// and seconds) in the system time zone. `localeId` is an ICU locale id; empty means the user's.
/// The offset is a shift of the local time, not a distance from UTC.
QString wallClockText(const QDateTime& now, std::optional<double> offsetSeconds,
                      const QString& localeId = {});

/// The ICU locale id for formatting times: LC_ALL, else LC_TIME, else LANG, without encoding and
/// modifier. The C and POSIX locales map to ICU's root locale (24-hour time).
QString userTimeLocaleId();

} // namespace tavix
