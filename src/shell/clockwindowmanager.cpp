#include "clockwindowmanager.h"

#include "display/clockwindow.h"
#include "display/runningtimers.h"
#include "model/appstate.h"
#include "platform/diagnostics.h"
#include "screengeometry.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWindow>

#include <algorithm>

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
    open(clockID, false);
}

void ClockWindowManager::openNewClockWindow(const QUuid& clockID) {
    open(clockID, true);
}

void ClockWindowManager::openStartUpWindows(const QList<QUuid>& clockIDs) {
    for (qsizetype i = 0; i < clockIDs.size(); ++i) {
        open(clockIDs.at(i), false, i + 1 == clockIDs.size());
    }
}

int ClockWindowManager::titleBarHeight() const {
    constexpr int kLeastStep = 16;
    if (m_frameMargins.top() >= kLeastStep) {
        return m_frameMargins.top();
    }
    // No framed window yet, or a frame without a title bar: the style's idea of one.
    return std::max(QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight), kLeastStep);
}

void ClockWindowManager::open(const QUuid& clockID, bool cascade, bool activate) {
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
    window->setDesktop(m_desktop);
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
    QRect frame = frameOnSomeScreen(stored, screens, primaryAvailable);
    if (cascade) {
        QList<QPoint> taken;
        for (const ClockWindow* other : windows()) {
            if (other->isVisible()) {
                taken.append(other->frameGeometry().topLeft());
            }
        }
        const QScreen* screen = QGuiApplication::screenAt(frame.center());
        frame = cascadedFrame(frame, taken, titleBarHeight(),
                              screen ? screen->availableGeometry() : primaryAvailable);
    }

    // The stored rectangle is the outer frame: the content is smaller by the window manager's
    // decoration, or the window would grow by its title bar at every start.
    window->resize(contentSizeForFrame(frame.size(), m_frameMargins, window->minimumSize()));
    window->move(frame.topLeft());
    window->applyWindowSettings();

    Placement placement{frame, m_frameMargins, {}, false};
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
    if (activate) {
        window->raise();
        window->activateWindow();
    }
    Q_EMIT windowOpened(window);
}

void ClockWindowManager::correctForFrameMargins(ClockWindow* window) {
    const auto it = m_placements.find(window->clockID());
    if (it == m_placements.end() || !window->isVisible()) {
        return;
    }
    if (window->isInStageMode()) {
        // A window that opens on its stage is framed only when it leaves it: keep the placement
        // until then, so that the floating frame comes out as stored.
        it->heldForStage = true;
        return;
    }
    if (it->heldForStage) {
        // Back from its stage: put the frame where it is stored, once the decoration is known.
        const QMargins margins = frameMarginsOf(window);
        if (margins.isNull() && !m_frameMargins.isNull()) {
            return;
        }
        if (!margins.isNull()) {
            m_frameMargins = margins;
        }
        const Placement placement = *it;
        m_placements.erase(it);
        window->resize(contentSizeForFrame(placement.frame.size(), margins, window->minimumSize()));
        window->move(placement.frame.topLeft());
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
    // A stage fills a screen for a while; the clock keeps the frame it floats in.
    if (!m_state || !window || window->isInStageMode()) {
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

void ClockWindowManager::removeClock(const QUuid& clockID) {
    if (!m_state) {
        return;
    }
    // A running timer's record is brought up to this moment: restoring charges from here.
    m_timers.settle(clockID);
    bool wasOpen = false;
    if (ClockWindow* open = window(clockID)) {
        wasOpen = open->isVisible();
        open->close(); // records the frame, so the window comes back where it was
    }
    const auto index = m_state->indexOfClock(clockID);
    if (!index) {
        return;
    }
    m_removed.insert(clockID, RemovedClock{m_state->clocks().at(*index), *index, wasOpen,
                                           m_timers.time().elapsedNanoseconds()});
    m_state->removeClock(clockID);
}

bool ClockWindowManager::restoreClock(const QUuid& clockID) {
    const auto it = m_removed.find(clockID);
    if (it == m_removed.end() || !m_state || m_state->indexOfClock(clockID)) {
        return false;
    }
    const RemovedClock removed = *it;
    m_removed.erase(it);
    ClockModel clock = removed.clock;
    // Time went on while the clock was away; with the setting off, a closed timer waits.
    if (m_state->settings().runningTimersKeepCounting) {
        const double away =
            static_cast<double>(m_timers.time().elapsedNanoseconds() - removed.removedAtNs) / 1e9;
        const double wallNow = static_cast<double>(m_timers.time().wallNow().toMSecsSinceEpoch()) / 1000.0;
        if (clock.countdown && clock.countdown->isRunning && clock.mode == ClockMode::countdown) {
            clock.countdown->remaining -= away;
            clock.countdown->measuredAt = wallNow;
        } else if (clock.stopwatch && clock.stopwatch->isRunning && clock.mode == ClockMode::stopwatch) {
            clock.stopwatch->elapsed += away;
            clock.stopwatch->measuredAt = wallNow;
        }
    }
    QList<ClockModel> clocks = m_state->clocks();
    clocks.insert(std::clamp<qsizetype>(removed.index, 0, clocks.size()), clock);
    m_state->setClocks(std::move(clocks));
    m_state->save();
    if (removed.windowWasOpen) {
        openClockWindow(clockID);
    }
    return true;
}

void ClockWindowManager::forgetRemovedClocks() {
    m_removed.clear();
}

} // namespace tavix
