#pragma once

#include "model/clockmodel.h"

#include <QUuid>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QVBoxLayout;

namespace tavix {

class AppState;
class ColorPanel;
class ColorWell;
class RemoteControlSection;
class Toggle;

/// The content of the settings window: the defaults for new clocks and the list of all clocks,
/// each with its name box, mode, open and remove buttons. Shows the store live.
/// Main thread only.
class PreferencesView : public QWidget {
    Q_OBJECT

public:
    using OpenClockWindow = std::function<void(const QUuid&)>;

    PreferencesView(AppState* state, OpenClockWindow openNewClockWindow, double labelWidth = 160,
                    QWidget* parent = nullptr);
    ~PreferencesView() override;

    /// One row of the clock list.
    struct ClockRow {
        QUuid id;
        QWidget* row = nullptr;
        QLineEdit* name = nullptr;
        QLabel* mode = nullptr;
        QPushButton* open = nullptr;
        QPushButton* remove = nullptr;
    };

    const std::array<ColorWell*, 3>& colorWells() const { return m_wells; }
    QSlider* opacitySlider() const { return m_opacity; }
    QLabel* opacityText() const { return m_opacityText; }
    Toggle* alwaysOnTopToggle() const { return m_alwaysOnTop; }
    Toggle* keepCountingToggle() const { return m_keepCounting; }
    QSlider* countdownStartSlider() const { return m_countdownStart; }
    QLabel* countdownStartText() const { return m_countdownStartText; }
    QLabel* noClocksText() const { return m_noClocks; }
    const std::vector<ClockRow>& clockRows() const { return m_rows; }
    QPushButton* addClockButton() const { return m_addClock; }
    ColorPanel* colorPanel() const { return m_colorPanel; }
    /// Says when saving fails or a state file was kept aside; hidden while all is well.
    QLabel* saveNote() const { return m_saveNote; }
    QLabel* versionText() const { return m_versionText; }
    RemoteControlSection* remoteControlSection() const { return m_remoteControl; }

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeDefaultsSection();
    QWidget* makeClocksSection();
    void refreshSettings();
    void refreshClocks();
    void rebuildClockRows(const QList<ClockModel>& clocks);
    ClockRow makeClockRow(const ClockModel& clock);
    void addClock();
    void writeSettings(const std::function<void(AppSettings&)>& change);

    AppState* m_state;
    OpenClockWindow m_openNewClockWindow;
    double m_labelWidth;
    ColorPanel* m_colorPanel;

    std::array<ColorWell*, 3> m_wells{};
    QSlider* m_opacity = nullptr;
    QLabel* m_opacityText = nullptr;
    Toggle* m_alwaysOnTop = nullptr;
    Toggle* m_keepCounting = nullptr;
    QSlider* m_countdownStart = nullptr;
    QLabel* m_countdownStartText = nullptr;

    QLabel* m_noClocks = nullptr;
    QWidget* m_rowsBox = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    std::vector<ClockRow> m_rows;
    QPushButton* m_addClock = nullptr;
    bool m_refreshing = false;
    QLabel* m_saveNote = nullptr;
    QLabel* m_versionText = nullptr;
    RemoteControlSection* m_remoteControl = nullptr;
};

} // namespace tavix
