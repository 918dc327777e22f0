#include "tavixapp.h"

#include "clockwindowmanager.h"
#include "shellclockbackend.h"
#include "display/clockwindow.h"
#include "display/runningtimers.h"
#include "display/tickscheduler.h"
#include "editors/preferencesview.h"
#include "editors/remotecontrolsection.h"
#include "model/appstate.h"
#include "model/statefile.h"
#include "platform/audiobackend.h"
#include "remote/remotecontrol.h"
#include "widgets/symbols.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QThreadPool>
#include <QVBoxLayout>

namespace tavix {

TavixApp::TavixApp(std::shared_ptr<StateFile> stateFile, std::unique_ptr<AudioBackend> audio,
                   TimeSource& time, QObject* parent)
    : QObject(parent), m_stateFile(std::move(stateFile)), m_audio(std::move(audio)), m_time(time),
      m_state(std::make_unique<AppState>(m_stateFile)),
      m_timers(std::make_unique<RunningTimers>(*m_state, time)),
      m_ticks(std::make_unique<TickScheduler>(time)),
      m_windows(std::make_unique<ClockWindowManager>(*m_timers, *m_ticks, m_audio.get())),
      m_newWindow(new QAction(tr("New Window"), this)), m_settings(new QAction(tr("Settings…"), this)),
      m_quit(new QAction(tr("Quit"), this)) {
    m_newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    m_quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    for (QAction* action : {m_newWindow, m_settings, m_quit}) {
        action->setShortcutVisibleInContextMenu(true);
    }
    connect(m_newWindow, &QAction::triggered, this, &TavixApp::newWindow);
    connect(m_settings, &QAction::triggered, this, &TavixApp::showSettings);
    connect(m_quit, &QAction::triggered, this, [this] { quitInteractively(); });
    m_windows->setWindowActions({m_newWindow, m_settings, m_quit});
    connect(m_windows.get(), &ClockWindowManager::windowClosed, this, &TavixApp::quitIfNothingIsLeft);
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &TavixApp::terminate);
    }
}

TavixApp::~TavixApp() {
    delete m_settingsWindow.data();
    // Work still running on the thread pool must end before what it uses goes. (Device listings run
    // on the audio backend's own worker, which the backend ends itself.)
    QThreadPool::globalInstance()->waitForDone();
    // The servers read the windows through the backend: they go first.
    m_remote.reset();
    m_remoteBackend.reset();
    // Windows go before the store they read.
    m_windows.reset();
}

void TavixApp::start() {
    QList<QUuid> ids;
    for (const ClockModel& clock : m_state->clocks()) {
        ids.append(clock.id);
    }
    m_windows->openStartUpWindows(ids);
}

void TavixApp::startRemoteControl() {
    if (m_remote) {
        return;
    }
    m_remoteBackend = std::make_unique<ShellClockBackend>(*m_timers, *m_windows);
    m_remote = std::make_unique<RemoteControl>(*m_state, *m_remoteBackend);
    m_remote->start();
}

void TavixApp::newWindow() {
    m_windows->openNewClockWindow(m_state->addClock());
}

void TavixApp::showSettings() {
    if (!m_settingsWindow) {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(tr("Tavix Settings"));
        window->setWindowIcon(applicationIcon());
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSizeConstraint(QLayout::SetFixedSize);
        auto* view = new PreferencesView(
            m_state.get(), [this](const QUuid& id) { m_windows->openClockWindow(id); }, 160, window);
        layout->addWidget(view);
        ClockWindowManager* windows = m_windows.get();
        view->setWindowHooks({[windows](const QUuid& id) { windows->openNewClockWindow(id); },
                              [windows](const QUuid& id) { windows->removeClock(id); },
                              [windows](const QUuid& id) { return windows->restoreClock(id); },
                              [windows] { windows->forgetRemovedClocks(); }});
        if (m_remote) {
            RemoteControlSection* section = view->remoteControlSection();
            const auto showStatus = [this, section] {
                section->setStatus(m_remote->status().url, m_remote->status().problem);
            };
            connect(m_remote.get(), &RemoteControl::statusChanged, section, showStatus);
            showStatus();
        }
        // "Add Clock" owns Ctrl+N here; Quit works from this window too.
        window->addAction(m_quit);
        // A right click on a clock's row offers that clock's menu, for windows that let clicks through.
        window->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(window, &QWidget::customContextMenuRequested, this, [this, window, view](const QPoint& at) {
            for (const PreferencesView::ClockRow& row : view->clockRows()) {
                if (row.row->rect().contains(row.row->mapFrom(window, at))) {
                    QMenu menu;
                    fillClockMenu(&menu, row.id);
                    menu.exec(window->mapToGlobal(at));
                    return;
                }
            }
        });
        m_settingsWindow = window;
    }
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void TavixApp::quitIfNothingIsLeft() {
    // Qt ends the application with its last window only while the event loop runs: a close that
    // is handled before (a window closed in the first moments after it appeared, on a busy
    // machine) left Tavix running without a window. Decide here and let the event loop do it.
    const bool settingsShown = m_settingsWindow && m_settingsWindow->isVisible();
    if (QGuiApplication::quitOnLastWindowClosed() && m_windows->windows().isEmpty() && !settingsShown) {
        QMetaObject::invokeMethod(this, &TavixApp::quit, Qt::QueuedConnection);
    }
}

void TavixApp::quit() {
    // QCoreApplication::quit() would close every window first, one by one, each a round of work
    // and of X requests: a thousand clocks took over a second. Only the settings panels close, so
    // that what is typed in them is kept; the windows go with the process.
    for (ClockWindow* window : m_windows->windows()) {
        if (Popover* popover = window->popover()) {
            popover->close();
        }
    }
    if (m_settingsWindow) {
        m_settingsWindow->hide();
    }
    QCoreApplication::exit(0);
}

bool TavixApp::quitInteractively() {
    // Saved first, so that the answer reflects the state the user is about to leave.
    m_state->save();
    m_stateFile->flushPendingWrites();
    m_stateFile->deliverReports();
    if (m_stateFile->lastWriteFailed() && !confirmDiscardingChanges()) {
        return false;
    }
    quit();
    return true;
}

bool TavixApp::confirmDiscardingChanges() {
    for (;;) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Tavix"),
                        tr("Your latest changes could not be saved."), QMessageBox::NoButton);
        box.setInformativeText(m_stateFile->status().saveFailure() +
                               tr("\n\nIf you quit now, these changes are lost."));
        QPushButton* retry = box.addButton(tr("Try Again"), QMessageBox::AcceptRole);
        QPushButton* discard = box.addButton(tr("Quit Without Saving"), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(cancel);
        box.setEscapeButton(cancel);
        Q_EMIT askingToDiscardChanges(&box);
        box.exec();
        if (box.clickedButton() == discard) {
            return true;
        }
        if (box.clickedButton() != retry) {
            return false;
        }
        m_state->save();
        m_stateFile->flushPendingWrites();
        m_stateFile->deliverReports();
        if (!m_stateFile->lastWriteFailed()) {
            return true;
        }
    }
}

void TavixApp::activate() {
    const QList<ClockWindow*> windows = m_windows->windows();
    for (ClockWindow* window : windows) {
        m_windows->openClockWindow(window->clockID());
    }
    if (windows.isEmpty() || (m_settingsWindow && m_settingsWindow->isVisible())) {
        showSettings();
    }
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

void TavixApp::fillClockMenu(QMenu* menu, const QUuid& clockID) {
    const auto open = [this, clockID] { m_windows->openClockWindow(clockID); };
    if (ClockWindow* window = m_windows->window(clockID)) {
        connect(menu->addAction(tr("Show Window")), &QAction::triggered, this, open);
        menu->addSeparator();
        menu->addAction(window->stageModeAction());
        menu->addMenu(window->stageScreenMenu());
        menu->addAction(window->clickThroughAction());
    } else {
        connect(menu->addAction(tr("Open Window")), &QAction::triggered, this, open);
    }
}

void TavixApp::fillClocksMenu(QMenu* menu) {
    for (const ClockModel& clock : m_state->clocks()) {
        // "&" marks a mnemonic in a menu title; doubled, it shows as typed.
        QString title = clock.name;
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QMenu* sub = menu->addMenu(title);
        fillClockMenu(sub, clock.id);
    }
}

void TavixApp::enableTray() {
    if (m_tray || !QSystemTrayIcon::isSystemTrayAvailable()) {
        return;
    }
    auto* menu = new QMenu;
    // The clocks come first and are listed afresh each time: windows open and close meanwhile.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        for (QMenu* sub : menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
            sub->deleteLater();
        }
        menu->clear();
        fillClocksMenu(menu);
        menu->addSeparator();
        menu->addAction(m_newWindow);
        menu->addAction(m_settings);
        menu->addSeparator();
        menu->addAction(m_quit);
    });
    menu->addAction(m_newWindow);
    menu->addAction(m_settings);
    menu->addSeparator();
    menu->addAction(m_quit);
    m_tray = new QSystemTrayIcon(applicationIcon(), this);
    m_tray->setToolTip(QStringLiteral("Tavix")); // untranslated
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
