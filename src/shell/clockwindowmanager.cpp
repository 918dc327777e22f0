#include "clockwindowmanager.h"

#include "display/clockwindow.h"
#include "display/runningtimers.h"
#include "model/appstate.h"
#include "platform/diagnostics.h"
#include "screengeometry.h"

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace tavix {

namespace {

// The window manager frames a new window within this time; afterwards a change of the frame is
// the user's doing and is never undone.
constexpr qint64 kFramingWindowMs = 3000;

QRect primaryScreenGeometry() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
}

QMargins frameMarginsOf(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    const QRect content = window->geometry();
    return QMargins(content.left() - frame.left(), content.top() - frame.top(),
                    frame.right() - content.right(), frame.bottom() - content.bottom());
}

} // namespace

ClockWindowManager::ClockWindowManager(RunningTimers& timers, TickScheduler& ticks, AudioBackend* audio,
                                       QObject* parent)
    : QObject(parent), m_state(&timers.appState()), m_timers(timers), m_ticks(ticks), m_audio(audio) {}

ClockWindowManager::~ClockWindowManager() {
    const auto windows = m_windows;
    m_windows.clear();
    for (const QPointer<ClockWindow>& window : windows) {
        if (window) {
            window->disconnect(this);
            delete window.data();
        }
    }
}

ClockWindow* ClockWindowManager::window(const QUuid& clockID) const {
    return m_windows.value(clockID).data();
}

QList<ClockWindow*> ClockWindowManager::windows() const {
    QList<ClockWindow*> result;
    for (const QPointer<ClockWindow>& window : m_windows) {
        if (window) {
            result.append(window.data());
        }
    }
    return result;
}

void ClockWindowManager::setWindowActions(const QList<QAction*>& actions) {
    m_actions = actions;
    for (ClockWindow* window : windows()) {
        window->addActions(actions);
    }
}

void ClockWindowManager::openClockWindow(const QUuid& clockID) {
    if (ClockWindow* existing = window(clockID)) {
        // Minimised or hidden counts as open: bring that window back rather than a second one.
        if (existing->isMinimized()) {
            existing->setWindowState((existing->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        }
        existing->show();
        existing->raise();
        existing->activateWindow();
        return;
    }
    if (!m_state) {
        return;
    }
    const auto index = m_state->indexOfClock(clockID);
    if (!index) {
        printDiagnostic(
            QStringLiteral("\u26A0\uFE0F ClockWindowManager: tried to open window for missing clock ") +
            uuidText(clockID));
        return;
    }

    auto* window = new ClockWindow(m_timers, m_ticks, clockID, m_audio);
    window->addActions(m_actions);
    const ClockModel clock = m_state->clocks().at(*index);

    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.append(screen->geometry());
    }
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect primaryAvailable = primary ? primary->availableGeometry() : primaryScreenGeometry();
    const QSize minimumFrame = window->minimumSize().grownBy(m_frameMargins);
    const QRect stored =
        frameFromStored(clock.windowOrigin, clock.windowSize, primaryScreenGeometry(), minimumFrame);
    const QRect frame = frameOnSomeScreen(stored, screens, primaryAvailable);

    // The stored rectangle is the outer frame: the content is smaller by the window manager's
    // decoration, or the window would grow by its title bar at every start.
    window->resize(contentSizeForFrame(frame.size(), m_frameMargins, window->minimumSize()));
    window->move(frame.topLeft());
    window->applyWindowSettings();

    Placement placement{frame, m_frameMargins, {}};
    placement.since.start();
    m_placements.insert(clockID, placement);
    m_windows.insert(clockID, window);

    connect(window, &ClockWindow::frameChanged, this, [this, window] {
        correctForFrameMargins(window);
        recordFrame(window);
    });
    connect(window, &ClockWindow::closing, this, [this, window] {
        recordFrame(window);
        unregister(window->clockID(), window);
    });
    connect(window, &QObject::destroyed, this, [this, clockID] {
        // Only a registration that still points at a live window is kept.
        if (m_windows.contains(clockID) && !m_windows.value(clockID)) {
            m_windows.remove(clockID);
            m_placements.remove(clockID);
        }
    });

    window->show();
    // Where the platform knows the decoration at once, correct for it now; otherwise when the
    // window manager's framing moves the window.
    correctForFrameMargins(window);
    window->raise();
    window->activateWindow();
    Q_EMIT windowOpened(window);
}

void ClockWindowManager::correctForFrameMargins(ClockWindow* window) {
    const auto it = m_placements.find(window->clockID());
    if (it == m_placements.end() || !window->isVisible()) {
        return;
    }
    if (it->since.elapsed() > kFramingWindowMs) {
        m_placements.erase(it);
        return;
    }
    const QMargins margins = frameMarginsOf(window);
    // No margins yet while others had some: the window manager has not framed this one yet.
    if (margins == it->assumedMargins || (margins.isNull() && !it->assumedMargins.isNull())) {
        return;
    }
    // The decoration turned out different from what the window was sized for: size it again so
    // that the outer frame is the stored one.
    m_frameMargins = margins;
    const Placement placement = *it;
    m_placements.erase(it);
    window->resize(contentSizeForFrame(placement.frame.size(), margins, window->minimumSize()));
    window->move(placement.frame.topLeft());
}

void ClockWindowManager::recordFrame(ClockWindow* window) {
    if (!m_state || !window) {
        return;
    }
    const auto index = m_state->indexOfClock(window->clockID());
    if (!index) {
        return;
    }
    const StoredFrame frame = storedFromFrame(window->frameGeometry(), primaryScreenGeometry());
    ClockModel clock = m_state->clocks().at(*index);
    if (clock.windowOrigin == frame.origin && clock.windowSize == frame.size) {
        return;
    }
    clock.windowOrigin = frame.origin;
    clock.windowSize = frame.size;
    m_state->setClock(*index, clock);
}

void ClockWindowManager::unregister(const QUuid& clockID, ClockWindow* window) {
    if (m_windows.value(clockID) == window) {
        m_windows.remove(clockID);
        m_placements.remove(clockID);
        Q_EMIT windowClosed(clockID);
    }
}

} // namespace tavix
