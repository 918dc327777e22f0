#pragma once

#include "model/clockmodel.h"

#include <QObject>
#include <QUuid>

#include <cstdint>
#include <deque>
#include <optional>

namespace tavix {

class RunningTimers;

/// The operator's Reset and nudges of one clock's countdown or stopwatch, done through
/// RunningTimers (so each is saved at once) and remembered so that Undo can take them back, the
/// last kDepth of them. A Reset is remembered only when it threw something away: a running timer,
/// or a paused one away from its start.
/// Main thread only.
class TimerUndo : public QObject {
    Q_OBJECT

public:
    enum class Kind { reset, nudge };

    /// `timers` must outlive this object.
    TimerUndo(RunningTimers& timers, const QUuid& clockID, QObject* parent = nullptr);

    void reset();
    /// Adds `seconds` (negative takes away) to the countdown or stopwatch of the clock's mode.
    void nudge(double seconds);

    bool canUndo() const { return !m_entries.empty(); }
    /// What Undo would take back: a reset, or a nudge by this many seconds.
    std::optional<std::pair<Kind, double>> nextUndo() const;
    /// Takes back the latest operation. A reset running timer runs again with the value it would
    /// have had without the reset, as if the time since had passed for it. An operation on a timer
    /// of another mode than the clock now shows is dropped. False when there was nothing to undo.
    bool undo();

    static constexpr int kDepth = 10;

Q_SIGNALS:
    /// The list of what can be undone changed.
    void changed();

private:
    struct Entry {
        Kind kind = Kind::nudge;
        ClockMode mode = ClockMode::countdown;
        double value = 0; // before a reset; the change a nudge made
        bool wasRunning = false;
        std::int64_t atNs = 0;
    };

    void push(const Entry& entry);

    RunningTimers& m_timers;
    QUuid m_clockID;
    std::deque<Entry> m_entries;
};

} // namespace tavix
