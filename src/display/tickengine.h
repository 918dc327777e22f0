#pragma once

#include "model/clockbinding.h"
#include "timesource.h"

#include <QDateTime>
#include <QObject>

#include <cstdint>
#include <optional>

namespace tavix {

class RunningTimers;
class TickScheduler;

/// The one-second tick of a clock window: brings the clock's running countdown or stopwatch up to
/// date in the store (RunningTimers keeps the time, measured on the elapsed clock), drives the
/// flash phase and renews `now` for the wall clock and time-until displays. Each tick is placed
/// just after the shown value changes (just before, for a countdown above zero), so the display
/// turns over within a few milliseconds of the real second while ticks stay about one second apart.
/// A tick that runs late by up to kLatenessAbsorbedNs shows what was due at its place, so the
/// shown seconds never skip or repeat; the time is not lost, the next tick catches up.
/// While a running clock shows tenths of a second, ticks for the tenths run in between, ten a
/// second; everything else keeps the one tick a second.
/// Main thread only.
class TickEngine : public QObject {
    Q_OBJECT

public:
    /// `timers` and `ticks` must outlive the engine.
    TickEngine(ClockBinding clock, RunningTimers& timers, TickScheduler& ticks, QObject* parent = nullptr);
    ~TickEngine() override;

    const ClockBinding& clock() const { return m_clock; }
    QDateTime now() const { return m_now; }
    bool flashVisible() const { return m_flashVisible; }
    bool isTicking() const { return m_ticking; }
    /// The clock as the display shows it: a counting timer's value at the instant of the last tick
    /// (or operation), not at the moment of reading, so that a save in between moves nothing.
    ClockModel shownClock() const;

    void startTicking();
    void stopTicking();
    void tick();

    /// Start/Pause and Reset of the clock's countdown or stopwatch (RunningTimers), shown at once.
    void startPause();
    void reset();

    /// The clock's stopwatch, stored first when the clock has none.
    StopwatchSettings currentStopwatch();

    /// The delay armed for the next tick, for tests and measurements.
    int scheduledDelayMs() const { return m_scheduledDelayMs; }
    /// How late the last tick fired against its schedule, in milliseconds on the elapsed clock.
    double lastTickLatenessMs() const { return m_lastLatenessMs; }
    /// How many ticks ran for the tenths of a second alone (for tests and measurements).
    std::int64_t tenthTicks() const { return m_tenthTicks; }

    /// How long after `wallNow` the next tick of `clock` is due, in milliseconds.
    static int tickDelayMs(const ClockModel& clock, const QDateTime& wallNow);

    /// Ticks land this long after the shown value changes.
    static constexpr double kAfterChangeSeconds = 0.003;
    /// A countdown above zero ticks this long before it reaches the next whole second, so that
    /// 30:00 turns into 29:59 a second after Start, not a moment after it.
    static constexpr double kBeforeChangeSeconds = 0.010;
    /// Realigning never shortens a tick interval below this.
    static constexpr double kMinimumIntervalSeconds = 0.005;
    /// A tick this late or less shows the value due at its place.
    static constexpr std::int64_t kLatenessAbsorbedNs = 200'000'000;

Q_SIGNALS:
    /// After every tick and every Start/Pause/Reset: redraw from the store and the engine.
    void ticked();

private:
    /// Arms the next tick, placed from the shown instant `fromNs` (elapsed clock).
    void schedule(std::int64_t fromNs);
    /// Arms the next tenths tick from `fromNs`, or the pending whole-second tick when it is first.
    void scheduleTenth(std::int64_t fromNs);
    void onClockChanged();

    struct ScheduleKey {
        ClockMode mode = ClockMode::clock;
        bool countdownRunning = false;
        bool stopwatchRunning = false;
        std::optional<double> offset;
        std::optional<TimeUntilSettings> timeUntil;
        bool exists = false;
        std::optional<std::pair<double, std::int64_t>> anchor;
        bool tenths = false;
        bool operator==(const ScheduleKey&) const = default;
    };
    ScheduleKey scheduleKey(const ClockModel& clock) const;

    ClockBinding m_clock;
    RunningTimers& m_timers;
    TickScheduler& m_ticks;
    TimeSource& m_time;
    QDateTime m_now;
    std::int64_t m_dueElapsedNs = 0;
    /// The whole-second tick: the only one that writes the store and turns the flash.
    std::int64_t m_secondDueNs = 0;
    std::int64_t m_tenthTicks = 0;
    std::int64_t m_shownAtNs = 0;
    bool m_flashVisible = true;
    bool m_ticking = false;
    int m_scheduledDelayMs = 0;
    double m_lastLatenessMs = 0;
    ScheduleKey m_key;
};

} // namespace tavix
