#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QUuid>

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

    ClockWindow* window(const QUuid& clockID) const;
    QList<ClockWindow*> windows() const;

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
    };

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
    // What the window manager adds around a window; learnt from the first framed window.
    QMargins m_frameMargins;
};

} // namespace tavix
