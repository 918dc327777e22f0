#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QWidget>

#include <memory>

class QAction;
class QSystemTrayIcon;

namespace tavix {

class AppState;
class AudioBackend;
class ClockWindowManager;
class RunningTimers;
class RemoteControl;
class ShellClockBackend;
class StateFile;
class TickScheduler;
class TimeSource;

/// The application object: owns the one store, the audio layer and the window manager, offers
/// "New Window", "Settings…" and "Quit", opens one window per clock at start-up and saves and
/// flushes the state however the process ends normally.
/// Main thread only.
class TavixApp : public QObject {
    Q_OBJECT

public:
    /// `audio` may be null (no audio input). Loads the state (AppState start-up) at once.
    TavixApp(std::shared_ptr<StateFile> stateFile, std::unique_ptr<AudioBackend> audio, TimeSource& time,
             QObject* parent = nullptr);
    ~TavixApp() override;

    AppState& appState() const { return *m_state; }
    /// Current values and Start/Pause/Reset/nudge of every countdown and stopwatch, open or not.
    RunningTimers& runningTimers() const { return *m_timers; }
    ClockWindowManager& windowManager() const { return *m_windows; }
    QAction* newWindowAction() const { return m_newWindow; }
    QAction* settingsAction() const { return m_settings; }
    QAction* quitAction() const { return m_quit; }
    QWidget* settingsWindow() const { return m_settingsWindow; }

    /// Opens every clock's window, in list order, so the last one is in front.
    void start();
    /// Adds a clock (saved at once) and opens its window in front.
    void newWindow();
    void showSettings();
    /// Ends the event loop; the termination sequence runs on the way out. For signals and the
    /// session's end: never asks anything.
    void quit();
    /// The Quit action: saves, and when the file could not take the latest changes asks before
    /// they are discarded. False when the user chose to keep Tavix running.
    bool quitInteractively();
    /// Another launch or the desktop asked for Tavix: bring the clock windows to the front, or
    /// open Settings when no clock window is open.
    void activate();
    /// Marks the store as quitting, saves and waits until the file is written. Runs once.
    void terminate();

    /// Starts the HTTP, WebSocket and OSC servers as the settings say; they follow the settings from
    /// then on.
    void startRemoteControl();
    /// Null until startRemoteControl().
    RemoteControl* remoteControl() const { return m_remote.get(); }

    /// Offers the actions in a tray menu too, where the desktop has a tray; closing the last
    /// window then leaves the application running there.
    void enableTray();

Q_SIGNALS:
    /// Emitted before the question whether to quit without saving; tests answer it through this.
    void askingToDiscardChanges(QWidget* dialog);

private:
    /// Without a tray, closing the last clock window (no settings window shown) ends Tavix.
    void quitIfNothingIsLeft();
    bool confirmDiscardingChanges();

    std::shared_ptr<StateFile> m_stateFile;
    std::unique_ptr<AudioBackend> m_audio;
    TimeSource& m_time;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<RunningTimers> m_timers;
    std::unique_ptr<TickScheduler> m_ticks;
    std::unique_ptr<ClockWindowManager> m_windows;
    std::unique_ptr<ShellClockBackend> m_remoteBackend;
    std::unique_ptr<RemoteControl> m_remote;
    QAction* m_newWindow;
    QAction* m_settings;
    QAction* m_quit;
    QPointer<QWidget> m_settingsWindow;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_terminated = false;
};

} // namespace tavix
