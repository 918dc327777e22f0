#pragma once

#include "clockcommand.h"
#include "clocksnapshot.h"

#include <QObject>

namespace tavix {

/// Where the remote interfaces read and change clocks. The implementation changes the store
/// exactly as the same click in a clock window or the settings window would.
/// Main thread only.
class RemoteClockBackend : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    /// Every clock, in list order.
    virtual QList<ClockSnapshot> clocks() const = 0;
    /// Carries out a command that `checkCommand` accepted for the clock with this id; may still
    /// refuse it (notFound, conflict) with a reason.
    virtual CommandResult apply(const QUuid& clockID, const ClockCommand& command) = 0;
    /// Adds a clock (name already checked to be free, or none for the next default name) and opens
    /// its window; returns its id.
    virtual QUuid addClock(const std::optional<QString>& name, ClockMode mode) = 0;

Q_SIGNALS:
    /// A clock, its window or its timecode display changed.
    void changed();
};

} // namespace tavix
