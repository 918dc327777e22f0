#pragma once

#include "clocksnapshot.h"

#include <QString>

#include <optional>

namespace tavix {

class RemoteClockBackend;

enum class ClockAction {
    start,
    pause,
    toggle,
    reset,
    hold,
    open,
    close,
    nudge,
    setCountdown,
    setTimeUntil,
    stage,
    setCaption
};

/// The action's word in paths: "start", "nudge", "countdown" (setCountdown), "timeuntil"
/// (setTimeUntil), "stage", "caption" (setCaption), and so on.
QString pathWord(ClockAction action);
std::optional<ClockAction> actionFromPathWord(const QString& word);

/// One command for one clock, from HTTP or OSC.
struct ClockCommand {
    ClockAction action = ClockAction::toggle;
    /// hold: on or off; none toggles, as the HOLD button does.
    std::optional<bool> hold;
    /// nudge: seconds added to a countdown's remaining time or a stopwatch's elapsed time.
    double seconds = 0;
    /// setCountdown: the start value; also the remaining time while the countdown is not running.
    std::optional<double> duration;
    /// setCountdown: the remaining time, whether running or not.
    std::optional<double> remaining;
    /// setTimeUntil: the target time of day.
    TimeOfDay target;
    /// stage: Stage Mode on or off; none toggles, as F11 does.
    std::optional<bool> stageOn;
    /// stage: the name of the screen to fill.
    std::optional<QString> screen;
    /// setCaption: what shows under the digits.
    std::optional<CaptionKind> caption;
    /// setCaption: the message line; given alone, it is also shown.
    std::optional<QString> message;
};

enum class CommandStatus { ok, notFound, badRequest, conflict };

struct CommandResult {
    CommandStatus status = CommandStatus::ok;
    QString reason;
    /// The clock after the command, when it was found.
    std::optional<ClockSnapshot> clock;
};

/// Largest magnitude accepted for a duration, remaining time or nudge: about 115 days.
constexpr double kMaximumSeconds = 1e7;
/// Longest message line accepted, in UTF-16 code units: a caption, not a document.
constexpr qsizetype kMaximumMessageLength = 500;

/// Why the command cannot apply to the clock (bad value: badRequest; wrong mode or closed window:
/// conflict), or none when it can.
std::optional<CommandResult> checkCommand(const ClockSnapshot& clock, const ClockCommand& command);

/// Finds the clock by id or name, checks the command and applies it through the backend.
CommandResult runClockCommand(RemoteClockBackend& backend, const QString& idOrName,
                              const ClockCommand& command);

} // namespace tavix
