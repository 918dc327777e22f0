#include "timerundo.h"

#include "runningtimers.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

struct TimerState {
    ClockMode mode;
    double value;
    bool running;
    double resetValue;
};

std::optional<TimerState> timerState(const RunningTimers& timers, const QUuid& id) {
    const ClockModel* clock = timers.appState().clock(id);
    if (!clock) {
        return std::nullopt;
    }
    if (clock->mode == ClockMode::countdown && clock->countdown) {
        return TimerState{clock->mode, *timers.currentRemaining(id), clock->countdown->isRunning,
                          clock->countdown->duration};
    }
    if (clock->mode == ClockMode::stopwatch && clock->stopwatch) {
        return TimerState{clock->mode, *timers.currentElapsed(id), clock->stopwatch->isRunning, 0.0};
    }
    return std::nullopt;
}

} // namespace

TimerUndo::TimerUndo(RunningTimers& timers, const QUuid& clockID, QObject* parent)
    : QObject(parent), m_timers(timers), m_clockID(clockID) {}

void TimerUndo::reset() {
    const std::optional<TimerState> before = timerState(m_timers, m_clockID);
    const std::int64_t at = m_timers.time().elapsedNanoseconds();
    m_timers.reset(m_clockID);
    if (before && (before->running || before->value != before->resetValue)) {
        push(Entry{Kind::reset, before->mode, before->value, before->running, at});
    }
}

void TimerUndo::nudge(double seconds) {
    const std::optional<TimerState> before = timerState(m_timers, m_clockID);
    if (!before || !std::isfinite(seconds) || seconds == 0) {
        return;
    }
    const std::int64_t at = m_timers.time().elapsedNanoseconds();
    m_timers.nudge(m_clockID, seconds);
    // A stopwatch stops at zero: Undo gives back only what the nudge really took.
    const double applied = before->mode == ClockMode::stopwatch
                               ? std::max(0.0, before->value + seconds) - before->value
                               : seconds;
    if (applied != 0) {
        push(Entry{Kind::nudge, before->mode, applied, before->running, at});
    }
}

std::optional<std::pair<TimerUndo::Kind, double>> TimerUndo::nextUndo() const {
    if (m_entries.empty()) {
        return std::nullopt;
    }
    return std::pair{m_entries.back().kind, m_entries.back().value};
}

bool TimerUndo::undo() {
    if (m_entries.empty()) {
        return false;
    }
    const Entry entry = m_entries.back();
    m_entries.pop_back();
    Q_EMIT changed();
    const std::optional<TimerState> now = timerState(m_timers, m_clockID);
    if (!now || now->mode != entry.mode) {
        return true;
    }
    if (entry.kind == Kind::nudge) {
        m_timers.nudge(m_clockID, -entry.value);
        return true;
    }
    double value = entry.value;
    if (entry.wasRunning) {
        const double passed = static_cast<double>(m_timers.time().elapsedNanoseconds() - entry.atNs) / 1e9;
        value += entry.mode == ClockMode::countdown ? -passed : passed;
    }
    m_timers.restore(m_clockID, value, entry.wasRunning);
    return true;
}

void TimerUndo::push(const Entry& entry) {
    m_entries.push_back(entry);
    while (m_entries.size() > static_cast<std::size_t>(kDepth)) {
        m_entries.pop_front();
    }
    Q_EMIT changed();
}

} // namespace tavix
