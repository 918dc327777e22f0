#pragma once

#include "remote/remoteclockbackend.h"

#include <QPointer>

namespace tavix {

class AppState;
class ClockWindowManager;
class TimeSource;

/// The remote interfaces' access to the clocks, over what the windows and the store offer: a clock
/// with an open window is driven through that window's tick engine and read from its display
/// state; a closed one through the same pure rules the window would apply.
/// Main thread only.
class ShellClockBackend : public RemoteClockBackend {
    Q_OBJECT

public:
    ShellClockBackend(AppState& state, ClockWindowManager& windows, TimeSource& time,
                      QObject* parent = nullptr);

    QList<ClockSnapshot> clocks() const override;
    CommandResult apply(const QUuid& clockID, const ClockCommand& command) override;
    QUuid addClock(const std::optional<QString>& name, ClockMode mode) override;

private:
    AppState& m_state;
    ClockWindowManager& m_windows;
    TimeSource& m_time;
};

} // namespace tavix
