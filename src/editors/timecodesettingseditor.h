#pragma once

#include "binding.h"
#include "timecodestaging.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace tavix {

class AudioBackend;
class LevelBar;
class MainThreadInbox;
class TimecodeRuntime;

/// The timecode section of the clock settings: input device, channel and frame rate, staged here
/// and written only by Apply, with the live input level and decoded time of the clock's window.
/// Devices are listed on a background thread and taken over on the main thread.
/// Main thread only (the listing itself runs on the audio backend's worker).
class TimecodeSettingsEditor : public QWidget {
    Q_OBJECT

public:
    /// `runtime` and `audio` may be null; without a layer the device list stays empty.
    TimecodeSettingsEditor(Binding<TimecodeSettings> settings, TimecodeRuntime* runtime, AudioBackend* audio,
                           double labelWidth, QWidget* parent = nullptr);
    ~TimecodeSettingsEditor() override;

    const TimecodeStaging& staging() const { return m_staging; }

    /// Starts a listing; with `force` also while one is running. Each finished listing applies its
    /// own result.
    void loadDevicesOnce(bool force);
    /// Writes the staged choices and asks to close, when they can be applied.
    void apply();
    void cancel();

    QComboBox* deviceMenu() const { return m_deviceMenu; }
    QComboBox* channelMenu() const { return m_channelMenu; }
    QComboBox* frameRateMenu() const { return m_frameRateMenu; }
    QWidget* warningRow() const { return m_warningRow; }
    LevelBar* levelBar() const { return m_levelBar; }
    QLabel* decodedText() const { return m_decodedText; }
    QPushButton* refreshButton() const { return m_refreshButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* applyButton() const { return m_applyButton; }

Q_SIGNALS:
    /// Apply or Cancel: the popover holding the editor should close.
    void dismissRequested();

private:
    void refreshControls();
    void refreshLive();

    Binding<TimecodeSettings> m_settings;
    QPointer<TimecodeRuntime> m_runtime;
    AudioBackend* m_audio;
    TimecodeStaging m_staging;
    std::unique_ptr<MainThreadInbox> m_inbox;

    QComboBox* m_deviceMenu = nullptr;
    QComboBox* m_channelMenu = nullptr;
    QComboBox* m_frameRateMenu = nullptr;
    QWidget* m_warningRow = nullptr;
    LevelBar* m_levelBar = nullptr;
    QLabel* m_decodedText = nullptr;
    QPushButton* m_refreshButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_applyButton = nullptr;
    QTimer* m_spinner = nullptr;
    int m_spinnerAngle = 0;
    bool m_refreshing = false;
};

} // namespace tavix
