#pragma once

#include "remote/remoteclockbackend.h"

#include <QPointer>

namespace tavix {

class AppState;
class ClockWindowManager;
class RunningTimers;
class TimeSource;

/// The remote interfaces' access to the clocks, over what the windows and the store offer: timers
/// are operated through the running timers, as the windows' buttons do; a clock with an open window
/// is read from its display state, a closed one at its current value.
/// Main thread only.
class ShellClockBackend : public RemoteClockBackend {
    Q_OBJECT

public:
    /// `timers` (with its store and time source) and `windows` must outlive the backend.
    ShellClockBackend(RunningTimers& timers, ClockWindowManager& windows, QObject* parent = nullptr);

    QList<ClockSnapshot> clocks() const override;
    CommandResult apply(const QUuid& clockID, const ClockCommand& command) override;
    QUuid addClock(const std::optional<QString>& name, ClockMode mode) override;

private:
    RunningTimers& m_timers;
    AppState& m_state;
    ClockWindowManager& m_windows;
    TimeSource& m_time;
};

} // namespace tavix
