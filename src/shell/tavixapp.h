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
class StateFile;
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
    /// Ends the event loop; the termination sequence runs on the way out.
    void quit();
    /// Marks the store as quitting, saves and waits until the file is written. Runs once.
    void terminate();

    /// Offers the actions in a tray menu too, where the desktop has a tray; closing the last
    /// window then leaves the application running there.
    void enableTray();

private:
    std::shared_ptr<StateFile> m_stateFile;
    std::unique_ptr<AudioBackend> m_audio;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<ClockWindowManager> m_windows;
    QAction* m_newWindow;
    QAction* m_settings;
    QAction* m_quit;
    QPointer<QWidget> m_settingsWindow;
    QSystemTrayIcon* m_tray = nullptr;
    bool m_terminated = false;
};

} // namespace tavix
