#include "tickengine.h"

#include "moderules.h"

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

TickEngine::TickEngine(ClockBinding clock, TimeSource& time, QObject* parent)
    : QObject(parent), m_clock(std::move(clock)), m_time(time), m_now(time.wallNow()),
      m_lastTickElapsedNs(time.elapsedNanoseconds()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TickEngine::tick);
    if (AppState* state = m_clock.appState()) {
        connect(state, &AppState::clocksChanged, this, &TickEngine::onClocksChanged);
    }
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

TickEngine::ScheduleKey TickEngine::scheduleKey(const ClockModel& clock, bool exists) {
    ScheduleKey key;
    key.mode = clock.mode;
    key.countdownRunning = clock.countdown && clock.countdown->isRunning;
    key.stopwatchRunning = clock.stopwatch && clock.stopwatch->isRunning;
    key.offset = clock.timeZoneOffset;
    key.timeUntil = clock.timeUntil;
    key.exists = exists;
    return key;
}

void TickEngine::startTicking() {
    m_ticking = true;
    m_lastTickElapsedNs = m_time.elapsedNanoseconds();
    m_now = m_time.wallNow();
    schedule();
}

void TickEngine::stopTicking() {
    m_ticking = false;
    m_timer.stop();
}

double TickEngine::takeStepSeconds() {
    const std::int64_t current = m_time.elapsedNanoseconds();
    const double delta = static_cast<double>(current - m_lastTickElapsedNs) / 1e9;
    m_lastTickElapsedNs = current;
    return std::max(delta, 0.0);
}

void TickEngine::tick() {
    m_lastLatenessMs = static_cast<double>(m_time.elapsedNanoseconds() - m_dueElapsedNs) / 1e6;
    const double step = takeStepSeconds();
    m_now = m_time.wallNow();
    const ClockModel clock = m_clock.read();
    switch (clock.mode) {
    case ClockMode::timeUntil:
        m_flashVisible = updateTimeUntilFlash(clock, m_now, m_flashVisible);
        break;
    case ClockMode::stopwatch:
        if (auto next = advanceStopwatch(clock, step)) {
            m_clock.write(*next);
        }
        break;
    case ClockMode::countdown:
        if (auto next = advanceCountdown(clock, step)) {
            m_clock.write(*next);
        }
        m_flashVisible = updateCountdownFlash(m_clock.read(), m_flashVisible);
        break;
    case ClockMode::clock:
    case ClockMode::timecode:
        break;
    }
    if (m_ticking) {
        schedule();
    }
    Q_EMIT ticked();
}

void TickEngine::chargeElapsed() {
    const double step = takeStepSeconds();
    const ClockModel clock = m_clock.read();
    if (clock.mode == ClockMode::countdown) {
        if (auto next = advanceCountdown(clock, step)) {
            m_clock.write(*next);
        }
    } else if (clock.mode == ClockMode::stopwatch) {
        if (auto next = advanceStopwatch(clock, step)) {
            m_clock.write(*next);
        }
    }
}

void TickEngine::startPause() {
    // Whatever ran since the last tick belongs to the run being paused; a run being started is
    // charged from now on.
    chargeElapsed();
    const ClockModel clock = m_clock.read();
    if (clock.mode == ClockMode::countdown) {
        if (auto next = toggleCountdown(clock)) {
            m_clock.write(*next);
        }
    } else if (clock.mode == ClockMode::stopwatch) {
        m_clock.write(toggleStopwatch(clock));
    }
    m_now = m_time.wallNow();
    if (m_ticking) {
        schedule();
    }
    Q_EMIT ticked();
}

void TickEngine::reset() {
    const ClockModel clock = m_clock.read();
    m_lastTickElapsedNs = m_time.elapsedNanoseconds();
    if (clock.mode == ClockMode::countdown) {
        if (auto next = resetCountdown(clock)) {
            m_clock.write(*next);
        }
    } else if (clock.mode == ClockMode::stopwatch) {
        m_clock.write(resetStopwatch(clock));
    }
    if (m_ticking) {
        schedule();
    }
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

void TickEngine::schedule() {
    const ClockModel clock = m_clock.read();
    m_key = scheduleKey(clock, m_clock.exists());
    m_scheduledDelayMs = tickDelayMs(clock, m_time.wallNow());
    // Nothing on screen depends on the phase of an idle tick, so let the system batch it.
    m_timer.setTimerType(isPhaseSensitive(clock) ? Qt::PreciseTimer : Qt::CoarseTimer);
    m_dueElapsedNs = m_time.elapsedNanoseconds() + std::int64_t{m_scheduledDelayMs} * 1'000'000;
    m_timer.start(m_scheduledDelayMs);
}

void TickEngine::onClocksChanged() {
    if (!m_ticking) {
        return;
    }
    // A change of mode, of running state, of offset or of target moves the next change of the
    // shown value: re-place the pending tick without ticking.
    const ClockModel clock = m_clock.read();
    if (scheduleKey(clock, m_clock.exists()) != m_key) {
        schedule();
    }
}

} // namespace tavix
