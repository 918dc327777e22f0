#pragma once

#include "model/clockbinding.h"
#include "timesource.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

namespace tavix {

/// The one-second tick of a clock window: advances running countdowns and stopwatches by the time
/// measured on the elapsed clock, drives the flash phase and renews `now` for the wall clock and
/// time-until displays. Each tick is placed just after the shown value changes (just before, for
/// a countdown above zero), so the display turns over within a few milliseconds of the real second
/// while ticks stay about one second apart.
/// Main thread only.
class TickEngine : public QObject {
    Q_OBJECT

public:
    TickEngine(ClockBinding clock, TimeSource& time, QObject* parent = nullptr);

    const ClockBinding& clock() const { return m_clock; }
    QDateTime now() const { return m_now; }
    bool flashVisible() const { return m_flashVisible; }
    bool isTicking() const { return m_ticking; }

    void startTicking();
    void stopTicking();
    void tick();

    /// Start/Pause of the countdown or stopwatch of the clock's mode. Start restarts the tick phase,
    /// so the first step is charged from the press; Pause charges the time run since the last tick.
    void startPause();
    /// Reset of the countdown or stopwatch of the clock's mode.
    void reset();

    /// The clock's stopwatch, stored first when the clock has none.
    StopwatchSettings currentStopwatch();

    /// The delay armed for the next tick, for tests and measurements.
    int scheduledDelayMs() const { return m_scheduledDelayMs; }
    /// How late the last tick fired against its schedule, in milliseconds on the elapsed clock.
    double lastTickLatenessMs() const { return m_lastLatenessMs; }

    /// How long after `wallNow` the next tick of `clock` is due, in milliseconds.
    static int tickDelayMs(const ClockModel& clock, const QDateTime& wallNow);

    /// Ticks land this long after the shown value changes.
    static constexpr double kAfterChangeSeconds = 0.003;
    /// A countdown above zero ticks this long before it reaches the next whole second, so that
    /// 30:00 turns into 29:59 a second after Start, not a moment after it.
    static constexpr double kBeforeChangeSeconds = 0.010;
    /// Realigning never shortens a tick interval below this.
    static constexpr double kMinimumIntervalSeconds = 0.005;

Q_SIGNALS:
    /// After every tick and every Start/Pause/Reset: redraw from the store and the engine.
    void ticked();

private:
    void schedule();
    void onClocksChanged();
    /// Charges the time since the last tick to a running countdown or stopwatch.
    void chargeElapsed();
    double takeStepSeconds();

    struct ScheduleKey {
        ClockMode mode = ClockMode::clock;
        bool countdownRunning = false;
        bool stopwatchRunning = false;
        std::optional<double> offset;
        std::optional<TimeUntilSettings> timeUntil;
        bool exists = false;
        bool operator==(const ScheduleKey&) const = default;
    };
    static ScheduleKey scheduleKey(const ClockModel& clock, bool exists);

    ClockBinding m_clock;
    TimeSource& m_time;
    QTimer m_timer;
    QDateTime m_now;
    std::int64_t m_lastTickElapsedNs = 0;
    std::int64_t m_dueElapsedNs = 0;
    bool m_flashVisible = true;
    bool m_ticking = false;
    int m_scheduledDelayMs = 0;
    double m_lastLatenessMs = 0;
    ScheduleKey m_key;
};

} // namespace tavix
