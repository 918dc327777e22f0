#pragma once

#include "model/appstate.h"
#include "timesource.h"

#include <QHash>
#include <QObject>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace tavix {

/// How far every running countdown and stopwatch has got, whether a window shows it or not, and
/// the one place that starts, pauses, resets and nudges them (the window's buttons call these).
///
/// A running timer is held as an anchor: its value at an instant of the elapsed clock, which the
/// wall clock being set does not move. Its current value can therefore be read at any moment; the
/// store's record is brought up to date when a window ticks, before every save and by every
/// operation. Only the timer of the clock's mode counts (a stopwatch kept running while its clock
/// shows the time of day waits). At construction, each running timer is charged with the time
/// since its value was measured (the wall-clock instant stored with it), never less than nothing
/// and never more than kMaximumChargeSeconds.
///
/// With the setting runningTimersKeepCounting off, a timer counts only while a window shows it
/// (setShown) and nothing is charged at start-up.
/// Main thread only.
class RunningTimers : public QObject {
    Q_OBJECT

public:
    /// `state` and `time` must outlive this object.
    RunningTimers(AppState& state, TimeSource& time, QObject* parent = nullptr);

    AppState& appState() const { return m_state; }
    TimeSource& time() const { return m_time; }

    /// The countdown's remaining seconds at this moment, or none without such a clock or countdown.
    std::optional<double> currentRemaining(const QUuid& id) const;
    /// The stopwatch's elapsed seconds at this moment, or none without such a clock or stopwatch.
    std::optional<double> currentElapsed(const QUuid& id) const;
    /// The clock's timer is running and time passes for it now.
    bool isCounting(const QUuid& id) const;

    /// Start or Pause of the countdown or stopwatch of the clock's mode. A start is counted from
    /// this moment, a pause keeps everything run up to it. Saved at once.
    void startPause(const QUuid& id);
    void start(const QUuid& id);
    void pause(const QUuid& id);
    /// Reset of the countdown (back to its start value) or stopwatch (to zero) of the clock's
    /// mode; either stops. Saved at once.
    void reset(const QUuid& id);
    /// Adds `seconds` (negative takes away) to the countdown's remaining time or the stopwatch's
    /// elapsed time, running or not; a stopwatch does not go below zero. Saved at once.
    void nudge(const QUuid& id, double seconds);
    /// Sets the countdown's remaining or the stopwatch's elapsed time of the clock's mode and
    /// whether it runs, counted from this moment (Undo of a Reset). Saved at once.
    void restore(const QUuid& id, double value, bool running);

    /// A window shows the clock (or no longer does): with the setting off, only then does it count.
    void setShown(const QUuid& id, bool shown);

    /// Writes the running timer's value at `atNs` (elapsed clock) into the clock's record.
    void settle(const QUuid& id, std::int64_t atNs);
    void settle(const QUuid& id) { settle(id, m_time.elapsedNanoseconds()); }
    /// Brings every running timer's record up to now (before a save).
    void settleAll();

    /// `clock` with its counting timer's value as it is at `atNs`; unchanged when nothing counts.
    ClockModel withValueAt(ClockModel clock, std::int64_t atNs) const;
    /// Where the counting timer was last started or re-anchored (its value, then elapsed-clock
    /// nanoseconds): ticks are placed by it.
    std::optional<std::pair<double, std::int64_t>> anchor(const QUuid& id) const;

    /// The most that a start-up charges for the time Tavix was not running.
    static constexpr double kMaximumChargeSeconds = 7 * 86400.0;

Q_SIGNALS:
    /// After Start/Pause, Reset or a nudge of this clock.
    void operated(const QUuid& id);

private:
    struct Anchor {
        std::int64_t ns = 0;
        double value = 0;
        ClockMode mode = ClockMode::countdown;
        double written = 0;
    };

    bool wantsCounting(const ClockModel& clock) const;
    static double valueAt(const Anchor& anchor, std::int64_t ns);
    double wallSecondsAt(std::int64_t ns) const;
    void write(const QUuid& id, ClockMode mode, double value, std::int64_t atNs);
    void reconcile(const QUuid& id);
    void reconcileAll();
    void chargeDowntime();
    void operate(const QUuid& id, ClockModel next);

    AppState& m_state;
    TimeSource& m_time;
    QHash<QUuid, Anchor> m_anchors;
    QHash<QUuid, int> m_shown;
    bool m_keepCounting = true;
};

} // namespace tavix
