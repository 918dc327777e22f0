#pragma once

#include "model/clockmodel.h"
#include "platform/desktopsession.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QUuid>

#include <cstdint>

class QAction;

namespace tavix {

class AppState;
class AudioBackend;
class ClockWindow;
class RunningTimers;
class TickScheduler;

/// Gives every clock its own top-level window, placed at the clock's stored frame, and writes the
/// frame back into the clock whenever the window moves, is resized or closes. Closing a window
/// never deletes its clock. Owns the open windows.
/// Main thread only.
class ClockWindowManager : public QObject {
    Q_OBJECT

public:
    /// `audio` may be null. `timers` (with its store) and `ticks` must outlive the manager.
    ClockWindowManager(RunningTimers& timers, TickScheduler& ticks, AudioBackend* audio,
                       QObject* parent = nullptr);
    /// Deletes the windows without closing them: frames are recorded only by the user's actions.
    ~ClockWindowManager() override;

    /// Opens the clock's window in front, or brings an open one back (restoring it when minimised
    /// or hidden). A clock that is not in the store gets a warning line and no window.
    void openClockWindow(const QUuid& clockID);
    /// The same for a clock just added: its window cascades from the open windows instead of
    /// covering one exactly. Stored frames of existing clocks are never moved.
    void openNewClockWindow(const QUuid& clockID);
    /// Opens the windows of the clocks at start-up, each where it is stored; only the last one
    /// is brought to the front and activated, so the windows do not take the focus in turn.
    void openStartUpWindows(const QList<QUuid>& clockIDs);

    /// Removes the clock from the store and closes its window, keeping what restoreClock needs.
    void removeClock(const QUuid& clockID);
    /// Puts a clock removed by removeClock back at its place in the list with all its settings
    /// (a running timer charged with the time it was away, as if it had gone on running) and
    /// opens its window where it was, if it was open. False when the clock is unknown or present.
    bool restoreClock(const QUuid& clockID);
    /// Removed clocks can no longer be restored.
    void forgetRemovedClocks();

    ClockWindow* window(const QUuid& clockID) const;
    QList<ClockWindow*> windows() const;

    /// What the desktop honours; windows opened from now on tell their settings about it.
    void setDesktop(const DesktopCapabilities& desktop) { m_desktop = desktop; }

    /// Actions every clock window offers in its context menu and by their shortcuts.
    void setWindowActions(const QList<QAction*>& actions);

Q_SIGNALS:
    void windowOpened(tavix::ClockWindow* window);
    void windowClosed(const QUuid& clockID);

private:
    struct Placement {
        QRect frame;
        QMargins assumedMargins;
        QElapsedTimer since;
        bool heldForStage = false;
    };

    struct RemovedClock {
        ClockModel clock;
        qsizetype index = 0;
        bool windowWasOpen = false;
        std::int64_t removedAtNs = 0;
    };

    void open(const QUuid& clockID, bool cascade, bool activate = true);
    /// The title bar's height, the cascade's step.
    int titleBarHeight() const;
    void recordFrame(ClockWindow* window);
    void correctForFrameMargins(ClockWindow* window);
    void unregister(const QUuid& clockID, ClockWindow* window);

    QPointer<AppState> m_state;
    RunningTimers& m_timers;
    TickScheduler& m_ticks;
    AudioBackend* m_audio;
    QHash<QUuid, QPointer<ClockWindow>> m_windows;
    QHash<QUuid, Placement> m_placements;
    QList<QAction*> m_actions;
    QHash<QUuid, RemovedClock> m_removed;
    DesktopCapabilities m_desktop;
    // What the window manager adds around a window; learnt from the first framed window.
    QMargins m_frameMargins;
};

} // namespace tavix
