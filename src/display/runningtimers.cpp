#include "runningtimers.h"

#include "platform/diagnostics.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

bool timerRuns(const ClockModel& clock, ClockMode mode) {
    if (mode == ClockMode::countdown) {
        return clock.countdown && clock.countdown->isRunning;
    }
    if (mode == ClockMode::stopwatch) {
        return clock.stopwatch && clock.stopwatch->isRunning;
    }
    return false;
}

bool hasCountingTimer(const ClockModel& clock) {
    return timerRuns(clock, clock.mode);
}

std::optional<double> storedValue(const ClockModel& clock, ClockMode mode) {
    if (mode == ClockMode::countdown && clock.countdown) {
        return clock.countdown->remaining;
    }
    if (mode == ClockMode::stopwatch && clock.stopwatch) {
        return clock.stopwatch->elapsed;
    }
    return std::nullopt;
}

std::optional<double> measuredAt(const ClockModel& clock) {
    if (clock.mode == ClockMode::countdown && clock.countdown) {
        return clock.countdown->measuredAt;
    }
    if (clock.mode == ClockMode::stopwatch && clock.stopwatch) {
        return clock.stopwatch->measuredAt;
    }
    return std::nullopt;
}

} // namespace

RunningTimers::RunningTimers(AppState& state, TimeSource& time, QObject* parent)
    : QObject(parent), m_state(state), m_time(time),
      m_keepCounting(state.settings().runningTimersKeepCounting) {
    chargeDowntime();
    reconcileAll();
    connect(&m_state, &AppState::clockChanged, this, &RunningTimers::reconcile);
    connect(&m_state, &AppState::clockListChanged, this, &RunningTimers::reconcileAll);
    connect(&m_state, &AppState::settingsChanged, this, [this] {
        if (m_state.settings().runningTimersKeepCounting != m_keepCounting) {
            m_keepCounting = m_state.settings().runningTimersKeepCounting;
            reconcileAll();
        }
    });
    connect(&m_state, &AppState::aboutToSave, this, &RunningTimers::settleAll);
}

double RunningTimers::valueAt(const Anchor& anchor, std::int64_t ns) {
    const double passed = static_cast<double>(ns - anchor.ns) / 1e9;
    return anchor.mode == ClockMode::countdown ? anchor.value - passed : anchor.value + passed;
}

double RunningTimers::wallSecondsAt(std::int64_t ns) const {
    const double wall = static_cast<double>(m_time.wallNow().toMSecsSinceEpoch()) / 1000.0;
    return wall - static_cast<double>(m_time.elapsedNanoseconds() - ns) / 1e9;
}

bool RunningTimers::wantsCounting(const ClockModel& clock) const {
    return hasCountingTimer(clock) && (m_keepCounting || m_shown.value(clock.id) > 0);
}

std::optional<double> RunningTimers::currentRemaining(const QUuid& id) const {
    const ClockModel* clock = m_state.clock(id);
    if (!clock || !clock->countdown) {
        return std::nullopt;
    }
    const auto it = m_anchors.constFind(id);
    if (it != m_anchors.constEnd() && it->mode == ClockMode::countdown) {
        return valueAt(*it, m_time.elapsedNanoseconds());
    }
    return clock->countdown->remaining;
}

std::optional<double> RunningTimers::currentElapsed(const QUuid& id) const {
    const ClockModel* clock = m_state.clock(id);
    if (!clock || !clock->stopwatch) {
        return std::nullopt;
    }
    const auto it = m_anchors.constFind(id);
    if (it != m_anchors.constEnd() && it->mode == ClockMode::stopwatch) {
        return valueAt(*it, m_time.elapsedNanoseconds());
    }
    return clock->stopwatch->elapsed;
}

bool RunningTimers::isCounting(const QUuid& id) const {
    return m_anchors.contains(id);
}

ClockModel RunningTimers::withValueAt(ClockModel clock, std::int64_t atNs) const {
    const auto it = m_anchors.constFind(clock.id);
    if (it == m_anchors.constEnd() || it->mode != clock.mode || !timerRuns(clock, clock.mode)) {
        return clock;
    }
    if (clock.mode == ClockMode::countdown) {
        clock.countdown->remaining = valueAt(*it, atNs);
    } else {
        clock.stopwatch->elapsed = valueAt(*it, atNs);
    }
    return clock;
}

std::optional<std::pair<double, std::int64_t>> RunningTimers::anchor(const QUuid& id) const {
    const auto it = m_anchors.constFind(id);
    if (it == m_anchors.constEnd()) {
        return std::nullopt;
    }
    return std::pair{it->value, it->ns};
}

void RunningTimers::write(const QUuid& id, ClockMode mode, double value, std::int64_t atNs) {
    const auto index = m_state.indexOfClock(id);
    if (!index) {
        return;
    }
    ClockModel clock = m_state.clocks().at(*index);
    const double at = wallSecondsAt(atNs);
    if (mode == ClockMode::countdown && clock.countdown) {
        clock.countdown->remaining = value;
        clock.countdown->measuredAt = at;
    } else if (mode == ClockMode::stopwatch && clock.stopwatch) {
        clock.stopwatch->elapsed = value;
        clock.stopwatch->measuredAt = at;
    } else {
        return;
    }
    m_state.setClock(*index, clock);
}

void RunningTimers::settle(const QUuid& id, std::int64_t atNs) {
    const auto it = m_anchors.find(id);
    const ClockModel* clock = m_state.clock(id);
    if (it == m_anchors.end() || !clock || clock->mode != it->mode) {
        return;
    }
    const double value = valueAt(*it, atNs);
    it->written = value; // before the write, so that its notification keeps the anchor
    write(id, it->mode, value, atNs);
}

void RunningTimers::settleAll() {
    const std::int64_t now = m_time.elapsedNanoseconds();
    const QList<QUuid> ids = m_anchors.keys();
    for (const QUuid& id : ids) {
        settle(id, now);
    }
}

void RunningTimers::reconcile(const QUuid& id) {
    const ClockModel* clock = m_state.clock(id);
    auto it = m_anchors.find(id);
    if (!clock || !wantsCounting(*clock)) {
        if (it != m_anchors.end()) {
            const Anchor anchor = *it;
            m_anchors.erase(it);
            // It stops counting (window hidden with the setting off, mode changed): keep what ran
            // up to this moment, where the record still says it runs.
            if (clock && timerRuns(*clock, anchor.mode)) {
                const double value = valueAt(anchor, m_time.elapsedNanoseconds());
                if (storedValue(*clock, anchor.mode) != value) {
                    write(id, anchor.mode, value, m_time.elapsedNanoseconds());
                }
            }
        }
        return;
    }
    const double stored = *storedValue(*clock, clock->mode);
    if (it != m_anchors.end() && it->mode == clock->mode && it->written == stored) {
        return;
    }
    // Started, or someone wrote another value: count on from the stored one, from now.
    m_anchors.insert(id, Anchor{m_time.elapsedNanoseconds(), stored, clock->mode, stored});
}

void RunningTimers::reconcileAll() {
    for (auto it = m_anchors.begin(); it != m_anchors.end();) {
        it = m_state.clock(it.key()) ? std::next(it) : m_anchors.erase(it);
    }
    QList<QUuid> ids;
    ids.reserve(m_state.clocks().size());
    for (const ClockModel& clock : m_state.clocks()) {
        ids.append(clock.id);
    }
    for (const QUuid& id : ids) {
        reconcile(id);
    }
}

void RunningTimers::chargeDowntime() {
    if (!m_keepCounting) {
        return;
    }
    const double now = wallSecondsAt(m_time.elapsedNanoseconds());
    double ahead = 0;
    double longest = 0;
    bool undated = false;
    const QList<ClockModel> clocks = m_state.clocks();
    for (const ClockModel& clock : clocks) {
        const auto at = measuredAt(clock);
        if (!hasCountingTimer(clock)) {
            continue;
        }
        if (!at || !std::isfinite(*at)) {
            // Written by an older Tavix: nothing to charge, but from now on the file says when.
            undated = true;
            write(clock.id, clock.mode, *storedValue(clock, clock.mode), m_time.elapsedNanoseconds());
            continue;
        }
        double charge = now - *at;
        if (charge < 0) {
            // The system clock was set back (or the file came from a machine whose clock is ahead).
            ahead = std::max(ahead, -charge);
            charge = 0;
        } else if (charge > kMaximumChargeSeconds) {
            longest = std::max(longest, charge);
            charge = kMaximumChargeSeconds;
        }
        const double value = *storedValue(clock, clock.mode);
        write(clock.id, clock.mode, clock.mode == ClockMode::countdown ? value - charge : value + charge,
              m_time.elapsedNanoseconds());
    }
    if (undated) {
        m_state.save();
    }
    if (ahead > 0) {
        printDiagnostic(
            QStringLiteral("\u26A0\uFE0F RunningTimers: the last save is dated %1 s in the future "
                           "(system clock set back?); running timers were charged nothing for "
                           "the time Tavix was not running")
                .arg(std::ceil(ahead), 0, 'f', 0));
    }
    if (longest > 0) {
        printDiagnostic(QStringLiteral("\u26A0\uFE0F RunningTimers: %1 s passed since the last save (system "
                                       "clock set forward?); running timers were charged at most %2 s")
                            .arg(std::floor(longest), 0, 'f', 0)
                            .arg(kMaximumChargeSeconds, 0, 'f', 0));
    }
}

void RunningTimers::setShown(const QUuid& id, bool shown) {
    int& count = m_shown[id];
    count = std::max(0, count + (shown ? 1 : -1));
    if (count == 0) {
        m_shown.remove(id);
    }
    reconcile(id);
}

void RunningTimers::operate(const QUuid& id, ClockModel next) {
    if (const auto index = m_state.indexOfClock(id)) {
        m_state.setClock(*index, next);
        m_state.save();
        Q_EMIT operated(id);
    }
}

void RunningTimers::startPause(const QUuid& id) {
    const ClockModel* clock = m_state.clock(id);
    if (!clock) {
        return;
    }
    if (timerRuns(*clock, clock->mode)) {
        pause(id);
    } else {
        start(id);
    }
}

void RunningTimers::start(const QUuid& id) {
    const ClockModel* current = m_state.clock(id);
    if (!current || timerRuns(*current, current->mode)) {
        return;
    }
    ClockModel next = *current;
    const double now = wallSecondsAt(m_time.elapsedNanoseconds());
    if (next.mode == ClockMode::countdown && next.countdown) {
        next.countdown->isRunning = true;
        next.countdown->measuredAt = now;
    } else if (next.mode == ClockMode::stopwatch) {
        // Edited in place, so keys of newer versions in the record survive.
        StopwatchSettings& stopwatch = next.stopwatch ? *next.stopwatch : next.stopwatch.emplace();
        stopwatch.isRunning = true;
        stopwatch.measuredAt = now;
    } else {
        return;
    }
    operate(id, next);
}

void RunningTimers::pause(const QUuid& id) {
    const ClockModel* current = m_state.clock(id);
    if (!current || !timerRuns(*current, current->mode)) {
        return;
    }
    settle(id); // everything run up to the press belongs to this run
    ClockModel next = *m_state.clock(id);
    if (next.mode == ClockMode::countdown) {
        next.countdown->isRunning = false;
        next.countdown->measuredAt.reset();
    } else {
        next.stopwatch->isRunning = false;
        next.stopwatch->measuredAt.reset();
    }
    operate(id, next);
}

void RunningTimers::reset(const QUuid& id) {
    const ClockModel* current = m_state.clock(id);
    if (!current) {
        return;
    }
    ClockModel next = *current;
    if (next.mode == ClockMode::countdown && next.countdown) {
        next.countdown->remaining = next.countdown->duration;
        next.countdown->isRunning = false;
        next.countdown->measuredAt.reset();
    } else if (next.mode == ClockMode::stopwatch) {
        StopwatchSettings& stopwatch = next.stopwatch ? *next.stopwatch : next.stopwatch.emplace();
        stopwatch.elapsed = 0;
        stopwatch.isRunning = false;
        stopwatch.measuredAt.reset();
    } else {
        return;
    }
    operate(id, next);
}

void RunningTimers::nudge(const QUuid& id, double seconds) {
    if (!std::isfinite(seconds) || !m_state.clock(id)) {
        return;
    }
    settle(id);
    ClockModel next = *m_state.clock(id);
    const double now = wallSecondsAt(m_time.elapsedNanoseconds());
    if (next.mode == ClockMode::countdown && next.countdown) {
        next.countdown->remaining += seconds;
        if (next.countdown->isRunning) {
            next.countdown->measuredAt = now;
        }
    } else if (next.mode == ClockMode::stopwatch && next.stopwatch) {
        next.stopwatch->elapsed = std::max(0.0, next.stopwatch->elapsed + seconds);
        if (next.stopwatch->isRunning) {
            next.stopwatch->measuredAt = now;
        }
    } else {
        return;
    }
    operate(id, next);
}

void RunningTimers::restore(const QUuid& id, double value, bool running) {
    const ClockModel* current = m_state.clock(id);
    if (!current || !std::isfinite(value)) {
        return;
    }
    ClockModel next = *current;
    const std::optional<double> now =
        running ? std::optional(wallSecondsAt(m_time.elapsedNanoseconds())) : std::nullopt;
    if (next.mode == ClockMode::countdown && next.countdown) {
        next.countdown->remaining = value;
        next.countdown->isRunning = running;
        next.countdown->measuredAt = now;
    } else if (next.mode == ClockMode::stopwatch && next.stopwatch) {
        next.stopwatch->elapsed = std::max(0.0, value);
        next.stopwatch->isRunning = running;
        next.stopwatch->measuredAt = now;
    } else {
        return;
    }
    operate(id, next);
}

} // namespace tavix
