#include "tavixapp.h"

#include "clockwindowmanager.h"
#include "display/clockwindow.h"
#include "display/symbols.h"
#include "editors/preferencesview.h"
#include "model/appstate.h"
#include "model/statefile.h"
#include "platform/audiobackend.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QThreadPool>
#include <QVBoxLayout>

namespace tavix {

TavixApp::TavixApp(std::shared_ptr<StateFile> stateFile, std::unique_ptr<AudioBackend> audio,
                   TimeSource& time, QObject* parent)
    : QObject(parent), m_stateFile(std::move(stateFile)), m_audio(std::move(audio)),
      m_state(std::make_unique<AppState>(m_stateFile)),
      m_windows(std::make_unique<ClockWindowManager>(*m_state, m_audio.get(), time)),
      m_newWindow(new QAction(QStringLiteral("New Window"), this)),
      m_settings(new QAction(QStringLiteral("Settings\u2026"), this)),
      m_quit(new QAction(QStringLiteral("Quit"), this)) {
    m_newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : {m_newWindow, m_settings, m_quit}) {
        action->setShortcutVisibleInContextMenu(true);
    }
    connect(m_newWindow, &QAction::triggered, this, &TavixApp::newWindow);
    connect(m_settings, &QAction::triggered, this, &TavixApp::showSettings);
    connect(m_quit, &QAction::triggered, this, &TavixApp::quit);
    m_windows->setWindowActions({m_newWindow, m_settings, m_quit});
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &TavixApp::terminate);
    }
}

TavixApp::~TavixApp() {
    delete m_settingsWindow.data();
    // Work still running on the thread pool must end before what it uses goes. (Device listings run
    // on the audio backend's own worker, which the backend ends itself.)
    QThreadPool::globalInstance()->waitForDone();
    // Windows go before the store they read.
    m_windows.reset();
}

void TavixApp::start() {
    const QList<ClockModel> clocks = m_state->clocks();
    for (const ClockModel& clock : clocks) {
        m_windows->openClockWindow(clock.id);
    }
}

void TavixApp::newWindow() {
    m_windows->openClockWindow(m_state->addClock());
}

void TavixApp::showSettings() {
    if (!m_settingsWindow) {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(QStringLiteral("Tavix Settings"));
        window->setWindowIcon(applicationIcon());
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        layout->addWidget(new PreferencesView(
            m_state.get(), [this](const QUuid& id) { m_windows->openClockWindow(id); }, 160, window));
        // "Add Clock" owns Ctrl+N here; Quit works from this window too.
        window->addAction(m_quit);
        m_settingsWindow = window;
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void TavixApp::quit() {
    QCoreApplication::quit();
}

void TavixApp::terminate() {
    if (m_terminated) {
        return;
    }
    m_terminated = true;
    m_state->setIsQuittingApp(true);
    m_state->save();
    m_stateFile->flushPendingWrites();
}

void TavixApp::enableTray() {
    if (m_tray || !QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    auto* menu = new QMenu;
    menu->addAction(m_newWindow);
    menu->addAction(m_settings);
    menu->addSeparator();
    menu->addAction(m_quit);
    m_tray = new QSystemTrayIcon(applicationIcon(), this);
    m_tray->setToolTip(QStringLiteral("Tavix"));
    m_tray->setContextMenu(menu);
    connect(m_tray, &QObject::destroyed, menu, &QObject::deleteLater);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            for (ClockWindow* window : m_windows->windows()) {
                m_windows->openClockWindow(window->clockID());
            }
        }
    });
    m_tray->show();
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        app->setQuitOnLastWindowClosed(false);
    }
}

} // namespace tavix
