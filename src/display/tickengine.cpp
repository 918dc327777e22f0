#include "tickengine.h"

#include "digitrules.h"
#include "moderules.h"
#include "runningtimers.h"
#include "tickscheduler.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

constexpr double kAfter = TickEngine::kAfterChangeSeconds;
constexpr double kBefore = TickEngine::kBeforeChangeSeconds;
constexpr double kMinGap = TickEngine::kMinimumIntervalSeconds;

// A value that rises and is shown truncated (stopwatch, wall-clock seconds) changes when it reaches
// a whole number: tick just after that.
double secondsUntilRisingChange(double value) {
    const double next = std::ceil(value - kAfter + kMinGap);
    return next + kAfter - value;
}

// A value that falls and is shown truncated toward zero (countdown, time until). Above zero the
// next tick lands just before a whole number is reached (whole numbers from `lowestPositive` on);
// below zero just after a whole number is passed (from `-lowestNegative` on).
double secondsUntilFallingChange(double value, double lowestPositive, double lowestNegative) {
    const double n = std::ceil(value - kBefore - kMinGap) - 1;
    if (n >= lowestPositive) {
        return value - (n + kBefore);
    }
    const double m = std::max(lowestNegative, std::ceil(kMinGap - kAfter - value));
    return value + m + kAfter;
}

// Only the phase within the second and the side of zero matter: keep large values small and exact.
double reduced(double value) {
    if (std::fabs(value) <= 2000) {
        return value;
    }
    return std::fmod(value, 1000.0) + (value > 0 ? 1000.0 : -1000.0);
}

// The shown value of these moves with the seconds, so the ticks follow it closely.
bool isPhaseSensitive(const ClockModel& clock) {
    switch (clock.mode) {
    case ClockMode::clock:
        return true;
    case ClockMode::timeUntil:
        return clock.timeUntil.has_value();
    case ClockMode::countdown:
        return clock.countdown && clock.countdown->isRunning;
    case ClockMode::stopwatch:
        return clock.stopwatch && clock.stopwatch->isRunning;
    case ClockMode::timecode:
        break;
    }
    return false;
}

int toDelayMs(double seconds) {
    if (!std::isfinite(seconds)) {
        return 1000;
    }
    return static_cast<int>(std::clamp(std::round(seconds * 1000.0), 1.0, 2000.0));
}

} // namespace

TickEngine::TickEngine(ClockBinding clock, RunningTimers& timers, TickScheduler& ticks, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_timers(timers), m_ticks(ticks), m_time(ticks.time()),
      m_now(m_time.wallNow()) {
    if (AppState* state = m_clock.appState()) {
        connect(state, &AppState::clockChanged, this, [this](const QUuid& id) {
            if (id == m_clock.clockID()) {
                onClockChanged();
            }
        });
        connect(state, &AppState::clockListChanged, this, &TickEngine::onClockChanged);
    }
}

TickEngine::~TickEngine() {
    // A window deleted while shown gets no hide event: it no longer shows its clock either way.
    stopTicking();
}

int TickEngine::tickDelayMs(const ClockModel& clock, const QDateTime& wallNow) {
    switch (clock.mode) {
    case ClockMode::clock: {
        double offset = clock.timeZoneOffset.value_or(0.0);
        if (!std::isfinite(offset)) {
            offset = 0;
        }
        // Only the phase within the second matters; keep the numbers small and exact.
        const double wallSeconds = static_cast<double>(wallNow.toMSecsSinceEpoch() % 86'400'000) / 1000.0;
        return toDelayMs(secondsUntilRisingChange(wallSeconds + std::fmod(offset, 86400.0)));
    }
    case ClockMode::timeUntil:
        if (clock.timeUntil && clock.timeUntil->targetToday(wallNow)) {
            // The at-target colours and flash begin at the target itself, so the tick that shows
            // 0:00 is the first one at or after it.
            return toDelayMs(secondsUntilFallingChange(timeUntilRemaining(clock, wallNow), 1, 0));
        }
        break;
    case ClockMode::countdown:
        if (clock.countdown && clock.countdown->isRunning && std::isfinite(clock.countdown->remaining)) {
            return toDelayMs(secondsUntilFallingChange(reduced(clock.countdown->remaining), 0, 1));
        }
        break;
    case ClockMode::stopwatch:
        if (clock.stopwatch && clock.stopwatch->isRunning && std::isfinite(clock.stopwatch->elapsed)) {
            return toDelayMs(secondsUntilRisingChange(reduced(clock.stopwatch->elapsed)));
        }
        break;
    case ClockMode::timecode:
        break;
    }
    return 1000;
}

TickEngine::ScheduleKey TickEngine::scheduleKey(const ClockModel& clock) const {
    ScheduleKey key;
    key.mode = clock.mode;
    key.countdownRunning = clock.countdown && clock.countdown->isRunning;
    key.stopwatchRunning = clock.stopwatch && clock.stopwatch->isRunning;
    key.offset = clock.timeZoneOffset;
    key.timeUntil = clock.timeUntil;
    key.exists = m_clock.exists();
    key.anchor = m_timers.anchor(m_clock.clockID());
    key.tenths =
        (clock.stopwatch && clock.stopwatch->showTenths) || (clock.countdown && clock.countdown->showTenths);
    return key;
}

void TickEngine::startTicking() {
    m_ticking = true;
    m_timers.setShown(m_clock.clockID(), true);
    const std::int64_t now = m_time.elapsedNanoseconds();
    m_timers.settle(m_clock.clockID(), now);
    m_now = m_time.wallNow();
    m_shownAtNs = now;
    schedule(now);
}

ClockModel TickEngine::shownClock() const {
    return m_timers.withValueAt(m_clock.read(), m_shownAtNs);
}

void TickEngine::stopTicking() {
    if (m_ticking) {
        m_ticking = false;
        m_timers.setShown(m_clock.clockID(), false);
    }
    m_ticks.disarm(this);
}

void TickEngine::tick() {
    const std::int64_t current = m_time.elapsedNanoseconds();
    const std::int64_t late = current - m_dueElapsedNs;
    m_lastLatenessMs = static_cast<double>(late) / 1e6;
    // A little late, show what was due at the tick's place: a countdown above zero ticks just
    // before its next second, so showing the actual instant would skip that second.
    const std::int64_t shownAt =
        m_dueElapsedNs > 0 && late >= 0 && late <= kLatenessAbsorbedNs ? m_dueElapsedNs : current;
    m_now = m_time.wallNow().addMSecs(-(current - shownAt) / 1'000'000);
    m_shownAtNs = shownAt;
    if (m_dueElapsedNs < m_secondDueNs && current < m_secondDueNs) {
        // A tick for the tenths alone: the display reads the value at shownAt from the running
        // timer; the store, the flash and the whole-second schedule wait for the second's tick.
        ++m_tenthTicks;
        if (m_ticking) {
            scheduleTenth(shownAt);
        }
        Q_EMIT ticked();
        return;
    }
    // The running timer holds the value; the store gets it when it saves. Writing it there every
    // second told every window of every clock's second.
    const ClockModel clock = m_timers.withValueAt(m_clock.read(), shownAt);
    switch (clock.mode) {
    case ClockMode::timeUntil:
        m_flashVisible = updateTimeUntilFlash(clock, m_now, m_flashVisible);
        break;
    case ClockMode::countdown:
        m_flashVisible = updateCountdownFlash(clock, m_flashVisible);
        break;
    case ClockMode::stopwatch:
    case ClockMode::clock:
    case ClockMode::timecode:
        break;
    }
    if (m_ticking) {
        schedule(shownAt);
    }
    Q_EMIT ticked();
}

void TickEngine::startPause() {
    m_shownAtNs = m_time.elapsedNanoseconds();
    m_now = m_time.wallNow();
    m_timers.startPause(m_clock.clockID());
    Q_EMIT ticked();
}

void TickEngine::reset() {
    m_shownAtNs = m_time.elapsedNanoseconds();
    m_now = m_time.wallNow();
    m_timers.reset(m_clock.clockID());
    Q_EMIT ticked();
}

StopwatchSettings TickEngine::currentStopwatch() {
    ClockModel clock = m_clock.read();
    if (!clock.stopwatch) {
        clock.stopwatch = StopwatchSettings{0, false};
        m_clock.write(clock);
    }
    return *clock.stopwatch;
}

void TickEngine::schedule(std::int64_t fromNs) {
    const std::int64_t current = m_time.elapsedNanoseconds();
    const ClockModel stored = m_clock.read();
    m_key = scheduleKey(stored);
    const QDateTime wallAtFrom = m_time.wallNow().addMSecs(-(current - fromNs) / 1'000'000);
    const ClockModel clock = m_timers.withValueAt(stored, fromNs);
    const int delayMs = tickDelayMs(clock, wallAtFrom);
    m_secondDueNs = fromNs + std::int64_t{delayMs} * 1'000'000;
    m_dueElapsedNs = m_secondDueNs;
    if (const auto tenth = secondsUntilTenthChange(clock)) {
        m_dueElapsedNs = std::min(m_secondDueNs, fromNs + std::int64_t{toDelayMs(*tenth)} * 1'000'000);
    }
    m_scheduledDelayMs = static_cast<int>((m_dueElapsedNs - current) / 1'000'000);
    // Nothing on screen depends on the phase of an idle tick, so let it run with another.
    m_ticks.arm(this, m_dueElapsedNs, isPhaseSensitive(clock));
}

void TickEngine::scheduleTenth(std::int64_t fromNs) {
    const ClockModel clock = m_timers.withValueAt(m_clock.read(), fromNs);
    m_dueElapsedNs = m_secondDueNs;
    if (const auto tenth = secondsUntilTenthChange(clock)) {
        m_dueElapsedNs = std::min(m_secondDueNs, fromNs + std::int64_t{toDelayMs(*tenth)} * 1'000'000);
    }
    m_scheduledDelayMs = static_cast<int>((m_dueElapsedNs - m_time.elapsedNanoseconds()) / 1'000'000);
    m_ticks.arm(this, m_dueElapsedNs, true);
}

void TickEngine::onClockChanged() {
    if (!m_ticking) {
        return;
    }
    // A change of mode, of running state, of offset or of target, or a nudge, moves the next
    // change of the shown value: re-place the pending tick without ticking.
    if (scheduleKey(m_clock.read()) != m_key) {
        m_now = m_time.wallNow();
        m_shownAtNs = m_time.elapsedNanoseconds();
        schedule(m_shownAtNs);
    }
}

} // namespace tavix
