#pragma once

#include "model/clockmodel.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

namespace tavix {

class TimecodeRuntime;

/// What a clock's display is doing, as remote clients colour it.
enum class ClockState { normal, warning, overtime, atTarget, hold, noSignal };
QString rawValue(ClockState state);

struct TimeOfDay {
    std::int64_t hour = 0;
    std::int64_t minute = 0;
    std::int64_t second = 0;
    bool operator==(const TimeOfDay&) const = default;
};

/// One clock as remote clients see it: the text its window shows (or would show when closed), its
/// counters and its state. Plain value, copied freely.
struct ClockSnapshot {
    QUuid id;
    QString name;
    ClockMode mode = ClockMode::clock;
    QString text;
    /// False in the hidden phase of a flash.
    bool textVisible = true;
    bool isRunning = false;
    std::optional<double> remaining;
    std::optional<double> duration;
    std::optional<double> elapsed;
    std::optional<TimeOfDay> target;
    /// Timecode clocks with an open window: the HOLD switch.
    std::optional<bool> hold;
    ClockState state = ClockState::normal;
    bool windowOpen = false;
    /// The clock's stage record: Stage Mode, its screen (absent: the primary), the caption.
    bool stageMode = false;
    std::optional<QString> stageScreen;
    CaptionKind caption = CaptionKind::none;
    QString message;
    /// The colours the window draws in now (warning and at-target colours applied).
    ColorValue textColor;
    ColorValue outlineColor;
    ColorValue backgroundColor;
    bool operator==(const ClockSnapshot&) const = default;
};

/// The snapshot of `clock` as a window that last ticked at `now` with flash phase `flashVisible`
/// shows it. `runtime` is the open window's timecode runtime, or null when there is no window;
/// `overtimeAsPlus` is the application's "Show overtime as +" preference, which the faces follow.
ClockSnapshot snapshotOf(const ClockModel& clock, const QDateTime& now, bool flashVisible, bool windowOpen,
                         const TimecodeRuntime* runtime, bool overtimeAsPlus = false);

/// The text a timecode clock shows without a window: a new window starts from all zeros.
QString closedTimecodeText();

/// While this holds the clock's text changes by itself, so clients get it at least ten times a second.
bool changesByItself(const ClockSnapshot& clock);

/// `#RRGGBBAA`, components clamped to 0…1.
QString cssColor(const ColorValue& color);

QJsonObject toJson(const ClockSnapshot& clock);
QJsonArray toJson(const QList<ClockSnapshot>& clocks);

/// The first clock whose id (either letter case) or, failing that, whose name equals `idOrName`.
std::optional<qsizetype> findClock(const QList<ClockSnapshot>& clocks, const QString& idOrName);

} // namespace tavix
