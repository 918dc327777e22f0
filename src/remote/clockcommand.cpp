#include "clockcommand.h"

#include "remoteclockbackend.h"

#include <array>
#include <cmath>
#include <utility>

namespace tavix {

namespace {

const std::array<std::pair<ClockAction, const char16_t*>, 12> kWords{{
    {ClockAction::start, u"start"},
    {ClockAction::pause, u"pause"},
    {ClockAction::toggle, u"toggle"},
    {ClockAction::reset, u"reset"},
    {ClockAction::hold, u"hold"},
    {ClockAction::open, u"open"},
    {ClockAction::close, u"close"},
    {ClockAction::nudge, u"nudge"},
    {ClockAction::setCountdown, u"countdown"},
    {ClockAction::setTimeUntil, u"timeuntil"},
    {ClockAction::stage, u"stage"},
    {ClockAction::setCaption, u"caption"},
}};

CommandResult refuse(CommandStatus status, const QString& reason) {
    return {status, reason, std::nullopt};
}

bool isCounting(const ClockSnapshot& clock) {
    // A countdown without its settings shows "No Countdown Data" and has no buttons.
    return (clock.mode == ClockMode::countdown && clock.duration) || clock.mode == ClockMode::stopwatch;
}

bool isSeconds(double value) {
    return std::isfinite(value) && std::fabs(value) <= kMaximumSeconds;
}

QString modeName(ClockMode mode) {
    return rawValue(mode);
}

} // namespace

QString pathWord(ClockAction action) {
    for (const auto& [a, word] : kWords) {
        if (a == action) {
            return QString::fromUtf16(word);
        }
    }
    return {};
}

std::optional<ClockAction> actionFromPathWord(const QString& word) {
    for (const auto& [action, w] : kWords) {
        if (word == QStringView(w)) {
            return action;
        }
    }
    return std::nullopt;
}

std::optional<CommandResult> checkCommand(const ClockSnapshot& clock, const ClockCommand& command) {
    const auto wrongMode = [&](const QString& needs) {
        return refuse(CommandStatus::conflict,
                      QStringLiteral("%1 applies to %2 clocks, not to \u201C%3\u201D (mode %4)")
                          .arg(pathWord(command.action), needs, clock.name, modeName(clock.mode)));
    };
    switch (command.action) {
    case ClockAction::start:
    case ClockAction::pause:
    case ClockAction::toggle:
    case ClockAction::reset:
        if (!isCounting(clock)) {
            return wrongMode(QStringLiteral("countdown and stopwatch"));
        }
        return std::nullopt;
    case ClockAction::nudge:
        if (!isSeconds(command.seconds)) {
            return refuse(
                CommandStatus::badRequest,
                QStringLiteral("seconds must be a number of at most %1").arg(kMaximumSeconds, 0, 'f', 0));
        }
        if (!isCounting(clock)) {
            return wrongMode(QStringLiteral("countdown and stopwatch"));
        }
        return std::nullopt;
    case ClockAction::hold:
        if (clock.mode != ClockMode::timecode) {
            return wrongMode(QStringLiteral("timecode"));
        }
        if (!clock.windowOpen) {
            // HOLD belongs to the window's display, which does not exist while it is closed.
            return refuse(
                CommandStatus::conflict,
                QStringLiteral("the window of \u201C%1\u201D is closed; open it first").arg(clock.name));
        }
        return std::nullopt;
    case ClockAction::open:
    case ClockAction::close:
        return std::nullopt;
    case ClockAction::setCountdown:
        if (!command.duration && !command.remaining) {
            return refuse(CommandStatus::badRequest, QStringLiteral("give duration, remaining or both"));
        }
        if ((command.duration && (!isSeconds(*command.duration) || *command.duration < 0)) ||
            (command.remaining && !isSeconds(*command.remaining))) {
            return refuse(CommandStatus::badRequest,
                          QStringLiteral("duration must be 0 to %1 seconds and remaining at most that")
                              .arg(kMaximumSeconds, 0, 'f', 0));
        }
        if (clock.mode != ClockMode::countdown) {
            return wrongMode(QStringLiteral("countdown"));
        }
        return std::nullopt;
    case ClockAction::stage:
        if (command.screen && command.screen->isEmpty()) {
            return refuse(CommandStatus::badRequest, QStringLiteral("screen must name a screen"));
        }
        return std::nullopt;
    case ClockAction::setCaption:
        if (!command.caption && !command.message) {
            return refuse(CommandStatus::badRequest, QStringLiteral("give caption, message or both"));
        }
        if (command.message && command.message->size() > kMaximumMessageLength) {
            return refuse(CommandStatus::badRequest,
                          QStringLiteral("message must be at most %1 characters").arg(kMaximumMessageLength));
        }
        return std::nullopt;
    case ClockAction::setTimeUntil: {
        const TimeOfDay& t = command.target;
        if (t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59) {
            return refuse(CommandStatus::badRequest,
                          QStringLiteral("hour must be 0 to 23, minute and second 0 to 59"));
        }
        if (clock.mode != ClockMode::timeUntil) {
            return wrongMode(QStringLiteral("time-until"));
        }
        return std::nullopt;
    }
    }
    return std::nullopt;
}

CommandResult runClockCommand(RemoteClockBackend& backend, const QString& idOrName,
                              const ClockCommand& command) {
    const QList<ClockSnapshot> before = backend.clocks();
    const auto index = findClock(before, idOrName);
    if (!index) {
        return refuse(CommandStatus::notFound,
                      QStringLiteral("no clock with the id or name \u201C%1\u201D").arg(idOrName));
    }
    const ClockSnapshot& clock = before.at(*index);
    if (auto refused = checkCommand(clock, command)) {
        return *refused;
    }
    const QUuid id = clock.id;
    CommandResult result = backend.apply(id, command);
    if (result.status != CommandStatus::ok) {
        return result;
    }
    for (const ClockSnapshot& after : backend.clocks()) {
        if (after.id == id) {
            result.clock = after;
            break;
        }
    }
    return result;
}

} // namespace tavix
