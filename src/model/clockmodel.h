#pragma once

#include "colorvalue.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavix {

enum class ClockMode { clock, countdown, stopwatch, timecode, timeUntil };

/// Every mode, in menu order.
const std::array<ClockMode, 5>& allClockModes();
QString rawValue(ClockMode mode);
std::optional<ClockMode> clockModeFromRawValue(const QString& raw);

/// How a running countdown in overtime flashes (with `flashWhenDone`): the digits blink, or the
/// outline and background blink while the digits stay readable.
enum class OvertimeFlashStyle { text, outlineAndBackground };
QString rawValue(OvertimeFlashStyle style);
std::optional<OvertimeFlashStyle> overtimeFlashStyleFromRawValue(const QString& raw);

enum class TimecodeFrameRate { fps23_976, fps24, fps25, fps29_97, fps29_97DF, fps30 };

/// Every frame rate, in menu order.
const std::array<TimecodeFrameRate, 6>& allTimecodeFrameRates();
QString rawValue(TimecodeFrameRate rate);
std::optional<TimecodeFrameRate> timecodeFrameRateFromRawValue(const QString& raw);
/// The rate handed to the decoder; both 29.97 rates give exactly 29.97.
double framesPerSecond(TimecodeFrameRate rate);

/// The entries of a stored record that this version of Tavix does not know (a newer one wrote
/// them), kept as they were read so that the next save writes them back unchanged. They ride along
/// with the record but are not part of its value: records that differ only in them compare equal,
/// since nothing in Tavix shows or changes them. Each record holds them as its last member, so that
/// brace initialisation of its fields is unaffected. Cheap to copy.
struct UnknownKeys {
    /// A property-list dictionary holding just those entries; only the state codec looks inside.
    std::shared_ptr<const void> entries;

    bool isEmpty() const { return entries == nullptr; }
    friend bool operator==(const UnknownKeys&, const UnknownKeys&) { return true; }
};

struct PointValue {
    double x = 0;
    double y = 0;
    bool operator==(const PointValue&) const = default;
};

struct SizeValue {
    double width = 0;
    double height = 0;
    bool operator==(const SizeValue&) const = default;
};

struct CountdownSettings {
    double duration = 0;
    double remaining = 0;
    bool isRunning = false;
    double warningTime = 0;
    ColorValue warningForegroundColor = ColorValue::yellow();
    ColorValue warningOutlineColor = ColorValue::yellow();
    bool flashWhenDone = false;
    /// While running: the wall-clock instant (Unix seconds) at which `remaining` was true, so that
    /// the next start can charge the time that passed meanwhile. Absent while paused.
    std::optional<double> measuredAt = std::nullopt;
    /// Colours in overtime; absent, the warning colours go on.
    std::optional<ColorValue> overtimeForegroundColor = std::nullopt;
    std::optional<ColorValue> overtimeOutlineColor = std::nullopt;
    OvertimeFlashStyle overtimeFlashStyle = OvertimeFlashStyle::text;
    /// Tenths of a second in the last ten seconds before zero.
    bool showTenths = false;

    UnknownKeys unknownKeys{};

    bool operator==(const CountdownSettings&) const = default;

    ColorValue overtimeForeground() const { return overtimeForegroundColor.value_or(warningForegroundColor); }
    ColorValue overtimeOutline() const { return overtimeOutlineColor.value_or(warningOutlineColor); }

    // Hours, minutes and seconds of the whole seconds of `duration` and `warningTime`, for the editors.
    // A write recombines the value from the new component and the other two, dropping any fraction;
    // a write whose sum does not fit 64 bits leaves the value as it was.
    std::int64_t durationHours() const;
    std::int64_t durationMinutes() const;
    std::int64_t durationSeconds() const;
    void setDurationHours(std::int64_t value);
    void setDurationMinutes(std::int64_t value);
    void setDurationSeconds(std::int64_t value);
    std::int64_t warningTimeHours() const;
    std::int64_t warningTimeMinutes() const;
    std::int64_t warningTimeSeconds() const;
    void setWarningTimeHours(std::int64_t value);
    void setWarningTimeMinutes(std::int64_t value);
    void setWarningTimeSeconds(std::int64_t value);
};

struct StopwatchSettings {
    double elapsed = 0;
    bool isRunning = false;
    /// While running: the wall-clock instant (Unix seconds) at which `elapsed` was true.
    std::optional<double> measuredAt = std::nullopt;
    bool showTenths = false;
    UnknownKeys unknownKeys{};
    bool operator==(const StopwatchSettings&) const = default;
};

struct TimeUntilSettings {
    std::int64_t targetHour = 0;
    std::int64_t targetMinute = 0;
    std::int64_t targetSecond = 0;
    ColorValue atTargetForegroundColor;
    ColorValue atTargetOutlineColor;
    bool flashAtTarget = false;
    /// Once today's target is more than this many seconds past, count to tomorrow's; absent, the
    /// count stays on today's target until midnight.
    std::optional<double> rollOverAfter = std::nullopt;

    UnknownKeys unknownKeys{};

    bool operator==(const TimeUntilSettings&) const = default;

    /// The target counted to at `now`: today's, or tomorrow's once today's is past by more than
    /// `rollOverAfter`. None when the calendar cannot form it.
    std::optional<QDateTime> countedTarget(const QDateTime& now) const;

    /// The target time of day on the local calendar day of `now`, or none when it cannot be formed.
    /// Components outside their usual range roll over (hour 25 is 01:00 of the next day).
    std::optional<QDateTime> targetToday(const QDateTime& now) const;
};

struct TimecodeSettings {
    TimecodeFrameRate frameRate = TimecodeFrameRate::fps30;
    std::optional<QString> audioInputDeviceID;
    std::int64_t audioChannelIndex = 0;
    /// The device's name when it was chosen, to name it while it is not connected.
    std::optional<QString> audioInputDeviceName = std::nullopt;
    UnknownKeys unknownKeys{};
    bool operator==(const TimecodeSettings&) const = default;
};

/// What a clock shows under its digits.
enum class CaptionKind { none, name, message };
QString rawValue(CaptionKind kind);
std::optional<CaptionKind> captionKindFromRawValue(const QString& raw);

/// How a clock goes on a stage: full screen on a chosen screen, with an optional caption, or as a
/// floating window that lets clicks through. A clock without this record behaves as the defaults.
struct StageSettings {
    /// The clock fills its chosen screen, without its header and buttons.
    bool isActive = false;
    /// The name of the chosen screen; absent, or a screen that is not connected, means the primary.
    std::optional<QString> screenName;
    CaptionKind caption = CaptionKind::none;
    /// The caption's text when `caption` is `message`.
    QString message;
    /// The floating window lets the pointer through to the windows below.
    bool clickThrough = false;
    UnknownKeys unknownKeys{};
    bool operator==(const StageSettings&) const = default;
};

struct AppSettings {
    ColorValue defaultForegroundColor = ColorValue::green();
    ColorValue defaultBackgroundColor = ColorValue::black();
    ColorValue defaultOutlineColor = ColorValue::green();
    double defaultOpacity = 1.0;
    bool defaultAlwaysOnTop = false;
    double defaultCountdownDuration = 1800;
    ColorValue defaultTimeUntilAtTargetForegroundColor = ColorValue::red();
    ColorValue defaultTimeUntilAtTargetOutlineColor = ColorValue::red();
    bool defaultTimeUntilFlashAtTarget = true;
    /// Running countdowns and stopwatches go on counting while their window is closed and while
    /// Tavix is not running; off, time passes for them only while a window shows them.
    bool runningTimersKeepCounting = true;
    // Remote control. Files written before these keys existed read as these values.
    bool remoteControlEnabled = true;
    std::int64_t remoteHttpPort = 7420;
    std::int64_t remoteOscPort = 7421;
    /// Listen on every interface instead of loopback only; the access token is then required.
    bool remoteAllowOtherComputers = false;
    /// Empty until one is made; never printed in full.
    QString remoteAccessToken;
    /// Overtime reads "+1:05" instead of "-1:05", told apart from the warning band without colour.
    bool showOvertimeAsPlus = false;
    UnknownKeys unknownKeys{};
    bool operator==(const AppSettings&) const = default;
};

struct ClockModel {
    QUuid id;
    QString name;
    ClockMode mode = ClockMode::clock;
    ColorValue foregroundColor;
    ColorValue backgroundColor;
    ColorValue outlineColor;
    double opacity = 1.0;
    bool alwaysOnTop = false;
    PointValue windowOrigin;
    SizeValue windowSize;
    std::optional<double> timeZoneOffset;
    std::optional<CountdownSettings> countdown;
    std::optional<StopwatchSettings> stopwatch;
    std::optional<TimecodeSettings> timecode;
    std::optional<TimeUntilSettings> timeUntil;
    /// Wall clock: 24-hour (true) or 12-hour (false) time; absent, as the locale has it.
    std::optional<bool> use24HourTime;
    /// Wall clock: hours and minutes only.
    bool hideSeconds = false;
    std::optional<StageSettings> stage;

    UnknownKeys unknownKeys{};

    bool operator==(const ClockModel&) const = default;

    /// A clock as a new clock starts out, from the current defaults.
    static ClockModel makeNew(const QUuid& id, const QString& name, const AppSettings& settings);
};

/// The root record of the state file.
struct PersistenceContainer {
    QList<ClockModel> clocks;
    AppSettings settings;
    UnknownKeys unknownKeys{};
    bool operator==(const PersistenceContainer&) const = default;
};

/// The canonical 36-character upper-case text of a UUID.
QString uuidText(const QUuid& id);
/// Parses the 36-character hyphenated form (either letter case); anything else gives none.
std::optional<QUuid> uuidFromText(const QString& text);

} // namespace tavix
