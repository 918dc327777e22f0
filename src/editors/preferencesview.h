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
    Toggle* overtimeAsPlusToggle() const { return m_overtimeAsPlus; }
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

    /// What the settings window needs from the clock windows beyond opening one. Without them a
    /// new clock's window opens through `openNewClockWindow` and Remove cannot be undone.
    struct WindowHooks {
        /// Opens the window of a clock just added.
        OpenClockWindow openAdded;
        /// Removes the clock and closes its window, keeping it for `restore`.
        std::function<void(const QUuid&)> remove;
        /// Brings a removed clock back with its window; false when that is no longer possible.
        std::function<bool(const QUuid&)> restore;
        /// The removed clocks will not be asked for again.
        std::function<void()> forgetRemoved;
    };
    void setWindowHooks(WindowHooks hooks);

    /// Says which clock was removed, with "Undo"; hidden when there is nothing to undo.
    QWidget* undoRemoveBar() const { return m_undoBar; }
    QLabel* undoRemoveText() const { return m_undoText; }
    QPushButton* undoRemoveButton() const { return m_undoButton; }
    /// Restores the clock removed last. Offered until the settings window closes.
    void undoRemove();

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
    void removeClock(const QUuid& id);
    void updateUndoBar();
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
    Toggle* m_overtimeAsPlus = nullptr;
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
    WindowHooks m_hooks;
    /// Removed clocks that can still come back (id and name), the latest last.
    std::vector<std::pair<QUuid, QString>> m_removed;
    QWidget* m_undoBar = nullptr;
    QLabel* m_undoText = nullptr;
    QPushButton* m_undoButton = nullptr;
};

} // namespace tavix
