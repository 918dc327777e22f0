#pragma once

#include "appstate.h"
#include "clockmodel.h"

#include <QPointer>
#include <QUuid>

namespace tavix {

/// A read/write handle on one clock of the store, found by id on every access. Reads of a clock
/// that is gone give the "Deleted Clock" placeholder; writes to it are dropped.
/// Main thread only. Cheap to copy.
class ClockBinding {
public:
    ClockBinding() = default;
    ClockBinding(AppState* state, const QUuid& clockID);

    const QUuid& clockID() const { return m_clockID; }
    AppState* appState() const { return m_state.data(); }

    /// True while the store holds a clock with this id.
    bool exists() const;
    ClockModel read() const;
    /// Replaces the whole record in the store (one change notification), or does nothing.
    void write(const ClockModel& clock) const;

    /// The record shown for a clock that is no longer in the store.
    static ClockModel placeholder(const QUuid& clockID);

private:
    QPointer<AppState> m_state;
    QUuid m_clockID;
};

} // namespace tavix
