#include "shellclockbackend.h"

#include "clockwindowmanager.h"
#include "display/clockwindow.h"
#include "display/moderules.h"
#include "display/runningtimers.h"
#include "display/tickengine.h"
#include "display/timerundo.h"
#include "display/timesource.h"
#include "editors/modebindings.h"
#include "model/appstate.h"
#include "timecode/timecoderuntimeholder.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace tavix {

ShellClockBackend::ShellClockBackend(RunningTimers& timers, ClockWindowManager& windows, QObject* parent)
    : RemoteClockBackend(parent), m_timers(timers), m_state(timers.appState()), m_windows(windows),
      m_time(timers.time()) {
    connect(&m_state, &AppState::clocksChanged, this, &RemoteClockBackend::changed);
    connect(&m_windows, &ClockWindowManager::windowClosed, this, &RemoteClockBackend::changed);
    connect(&m_windows, &ClockWindowManager::windowOpened, this, [this](ClockWindow* window) {
        // HOLD and the decoded time live in the window's runtime, not in the store.
        connect(window->timecodeHolder()->runtime(), &TimecodeRuntime::changed, this,
                &RemoteClockBackend::changed);
        Q_EMIT changed();
    });
}

QList<ClockSnapshot> ShellClockBackend::clocks() const {
    QList<ClockSnapshot> result;
    result.reserve(m_state.clocks().size());
    const QDateTime now = m_time.wallNow();
    const std::int64_t nowNs = m_time.elapsedNanoseconds();
    const bool overtimeAsPlus = m_state.settings().showOvertimeAsPlus;
    for (const ClockModel& clock : m_state.clocks()) {
        if (const ClockWindow* window = m_windows.window(clock.id)) {
            // What the window shows: its last tick's instant and flash phase.
            const TimecodeRuntime* runtime =
                clock.mode == ClockMode::timecode ? window->timecodeHolder()->runtime() : nullptr;
            result.append(snapshotOf(window->engine()->shownClock(), window->engine()->now(),
                                     window->engine()->flashVisible(), true, runtime, overtimeAsPlus));
        } else {
            // A closed window's timer keeps counting: its record holds the value of its last save.
            result.append(
                snapshotOf(m_timers.withValueAt(clock, nowNs), now, true, false, nullptr, overtimeAsPlus));
        }
    }
    return result;
}

CommandResult ShellClockBackend::apply(const QUuid& clockID, const ClockCommand& command) {
    const auto index = m_state.indexOfClock(clockID);
    if (!index) {
        return {CommandStatus::notFound, QStringLiteral("the clock is gone"), std::nullopt};
    }
    ClockModel clock = m_state.clocks().at(*index);
    ClockWindow* window = m_windows.window(clockID);
    const auto write = [&](const ClockModel& changed) { m_state.setClock(*index, changed); };
    // The timer of the clock's mode, as its window's buttons act on it (a closed one too).
    switch (command.action) {
    case ClockAction::start:
        m_timers.start(clockID);
        break;
    case ClockAction::pause:
        m_timers.pause(clockID);
        break;
    case ClockAction::toggle:
        m_timers.startPause(clockID);
        break;
    case ClockAction::reset:
        // Through the window's undo list where there is one, as its Reset button goes.
        if (window) {
            window->timerUndo()->reset();
        } else {
            m_timers.reset(clockID);
        }
        break;
    case ClockAction::hold:
        if (window) {
            TimecodeRuntime* runtime = window->timecodeHolder()->runtime();
            runtime->setHoldEnabled(command.hold.value_or(!runtime->holdEnabled()));
        }
        break;
    case ClockAction::open:
        m_windows.openClockWindow(clockID);
        break;
    case ClockAction::close:
        if (window && m_windows.windows().size() == 1 && QGuiApplication::quitOnLastWindowClosed()) {
            // Without a tray, closing the last window ends Tavix, and with it the remote control.
            return {CommandStatus::conflict,
                    QStringLiteral("\u201C%1\u201D has the last open window; closing it would quit Tavix")
                        .arg(clock.name),
                    std::nullopt};
        }
        if (window) {
            window->close();
        }
        break;
    case ClockAction::nudge:
        if (window) {
            window->timerUndo()->nudge(command.seconds);
        } else {
            m_timers.nudge(clockID, command.seconds);
        }
        break;
    case ClockAction::setCountdown: {
        CountdownSettings countdown = clock.countdown.value_or(fallbackCountdownSettings());
        if (command.duration) {
            countdown.duration = *command.duration;
            // As the start-time editor does: a countdown that is not running starts over from it.
            if (!countdown.isRunning) {
                countdown.remaining = countdown.duration;
            }
        }
        if (command.remaining) {
            countdown.remaining = *command.remaining;
        } else if (countdown.isRunning) {
            // Keep what a running countdown has run since its record was last brought up to date.
            countdown.remaining = m_timers.currentRemaining(clockID).value_or(countdown.remaining);
        }
        clock.countdown = countdown;
        write(clock);
        break;
    }
    case ClockAction::setTimeUntil: {
        TimeUntilSettings timeUntil = clock.timeUntil.value_or(fallbackTimeUntilSettings());
        timeUntil.targetHour = command.target.hour;
        timeUntil.targetMinute = command.target.minute;
        timeUntil.targetSecond = command.target.second;
        clock.timeUntil = timeUntil;
        write(clock);
        break;
    }
    case ClockAction::stage: {
        StageSettings stage = clock.stage.value_or(StageSettings{});
        if (command.screen) {
            QStringList names;
            for (const QScreen* screen : QGuiApplication::screens()) {
                names.append(screen->name());
            }
            // A typing mistake must not put the stage on the primary screen unnoticed.
            if (!names.contains(*command.screen)) {
                return {CommandStatus::conflict,
                        QStringLiteral("no screen named \u201C%1\u201D is connected (connected: %2)")
                            .arg(*command.screen, names.join(QStringLiteral(", "))),
                        std::nullopt};
            }
            stage.screenName = *command.screen;
        }
        stage.isActive = command.stageOn.value_or(command.screen ? true : !stage.isActive);
        clock.stage = stage;
        write(clock);
        if (stage.isActive && !window) {
            m_windows.openClockWindow(clockID);
        }
        break;
    }
    case ClockAction::setCaption: {
        StageSettings stage = clock.stage.value_or(StageSettings{});
        if (command.message) {
            stage.message = *command.message;
        }
        stage.caption = command.caption.value_or(CaptionKind::message);
        clock.stage = stage;
        write(clock);
        break;
    }
    }
    return {};
}

QUuid ShellClockBackend::addClock(const std::optional<QString>& name, ClockMode mode) {
    const QUuid id = m_state.addClock();
    if (const auto index = m_state.indexOfClock(id)) {
        ClockModel clock = m_state.clocks().at(*index);
        clock.mode = mode;
        m_state.setClock(*index, clock);
    }
    if (name) {
        m_state.renameClock(id, *name);
    }
    // As "Add Clock" does: the new clock's window opens at once.
    m_windows.openClockWindow(id);
    return id;
}

} // namespace tavix
