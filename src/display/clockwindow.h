#pragma once

#include "editors/popover.h"
#include "model/clockbinding.h"
#include "platform/desktopsession.h"
#include "timecodeclockview.h"
#include "widgets/tintedbuttons.h"

#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QShortcut;
class QToolButton;

namespace tavix {

class AudioBackend;
class FittedText;
class RunningTimers;
class TickEngine;
class TickScheduler;
class TimecodeRuntimeHolder;
class TimerUndo;

/// The top-level window of one clock: its display in the clock's mode and colours, the outline,
/// the control row, the mode symbol and the settings button. Finds its clock in the store by id
/// on every read; a clock that is gone shows as "Deleted Clock". Owns the tick engine and the
/// timecode holder; ticks while it is shown (minimising does not count as leaving the screen).
/// A countdown or stopwatch is operated from the keyboard too (Space, R, Up/Down, +/-, with Shift
/// in steps of 10 s, Ctrl+Z), by actions that its context menu lists with their keys.
/// Main thread only.
class ClockWindow : public QWidget {
    Q_OBJECT

public:
    /// `audio` may be null (no audio input). `timers` (and its store) and `ticks` must outlive the
    /// window.
    ClockWindow(RunningTimers& timers, TickScheduler& ticks, const QUuid& clockID, AudioBackend* audio,
                QWidget* parent = nullptr);
    ~ClockWindow() override;

    const QUuid& clockID() const;
    const ClockBinding& clock() const { return m_clock; }
    TickEngine* engine() const { return m_engine; }
    TimecodeRuntimeHolder* timecodeHolder() const { return m_holder; }
    TimerUndo* timerUndo() const { return m_undo; }
    bool showingSettings() const { return m_popover != nullptr; }

    /// Copies the clock's name, opacity and always-on-top flag onto the window.
    void applyWindowSettings();
    /// The same, on the next turn of the event loop.
    void scheduleApplyWindowSettings();
    /// What the desktop honours, for the notes in the settings popover.
    void setDesktop(const DesktopCapabilities& desktop) { m_desktop = desktop; }
    /// Opens or closes the settings popover.
    void toggleSettings();

    /// The window fills its stage screen, without header and buttons (the clock's stage record
    /// decides; the window follows it).
    bool isInStageMode() const { return m_inStage; }
    /// The screen the window fills in Stage Mode, else null.
    QScreen* stageScreen() const { return m_inStage ? m_stageScreen.data() : nullptr; }
    /// The connected screen named `name`, or the primary screen when none is.
    static QScreen* screenNamed(const std::optional<QString>& name);

    /// Context-menu actions: Stage Mode (F11), the stage screen menu and Click-Through.
    QAction* stageModeAction() const { return m_stageAction; }
    /// The Stage Screen submenu of the context menu (made if not yet).
    QMenu* stageScreenMenu();
    QAction* clickThroughAction() const { return m_clickThroughAction; }

    // The parts, for tests and the window manager.
    FittedText* display() const { return m_display; }
    // The message, the caption and the Start/Reset row are made when first needed (or asked for):
    // most windows of a large show never need them.
    QLabel* message();
    /// The caption under the digits: the clock's name or a message line; hidden when it has none.
    QLabel* caption();
    QWidget* header() const { return m_header; }
    QLabel* modeSymbolLabel() const { return m_modeSymbol; }
    QToolButton* settingsButton() const { return m_settingsButton; }
    QPushButton* startPauseButton();
    QPushButton* resetButton();
    QWidget* controlRow();
    TimecodeClockView* timecodeView() const { return m_timecodeView; }
    Popover* popover() const { return m_popover; }
    /// Start/Pause, Reset, the nudges and Undo, in the order of the context menu (made if not yet).
    QList<QAction*> timerActions();
    /// The outline's rectangle (the display's bounds), in window coordinates.
    QRect outlineRect() const;
    QColor outlineColor() const { return m_outlineColor; }
    QColor backgroundColor() const { return m_backgroundColor; }
    /// The outline's stroke: doubled in the warning band.
    int outlineWidth() const { return m_outlineWidth; }

    static constexpr int kMinimumWidth = 360;
    static constexpr int kMinimumHeight = 150;
    static constexpr int kOutlineWidth = 8;
    static constexpr int kOutlineRadius = 20;

Q_SIGNALS:
    /// The window moved or was resized.
    void frameChanged();
    /// The window is closing; its frame is still the one to record.
    void closing();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void refresh(bool ticked);
    /// Registers the window's keys with Qt, or takes them back. Qt keeps every registered key of
    /// the application in one sorted list; a dozen per window made each further window slower to
    /// open. The keys only act in the active window, so only the active window registers them
    /// (and a window whose context menu is open, which shows them).
    void registerKeys(bool on);
    void showMode(const ClockModel& clock);
    void updateTint(const ClockModel& clock);
    void ensureControls();
    void ensureTimerActions();
    void updateTimerActions(bool counting, bool running);
    void updateUndoAction();
    void updateCaption(const ClockModel& clock, const QColor& colour);
    void applyStage(const ClockModel& clock);
    void enterStage(QScreen* screen);
    void leaveStage();
    void fillScreenMenu();
    void writeStage(const std::function<void(StageSettings&)>& change);

    ClockBinding m_clock;
    AudioBackend* m_audio;
    DesktopCapabilities m_desktop;
    TickEngine* m_engine;
    TimecodeRuntimeHolder* m_holder;
    TimerUndo* m_undo;

    QWidget* m_header;
    QLabel* m_modeSymbol;
    SymbolButton* m_settingsButton;
    QWidget* m_displayArea;
    FittedText* m_display;
    QLabel* m_message = nullptr;
    QLabel* m_caption = nullptr;
    QPointer<TimecodeClockView> m_timecodeView;
    QWidget* m_controls = nullptr;
    ProminentButton* m_startPause = nullptr;
    ProminentButton* m_reset = nullptr;
    QPointer<Popover> m_popover;
    QAction* m_startPauseAction = nullptr;
    QAction* m_resetAction = nullptr;
    QAction* m_minuteUpAction = nullptr;
    QAction* m_minuteDownAction = nullptr;
    QAction* m_tenSecondsUpAction = nullptr;
    QAction* m_tenSecondsDownAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_timerSeparator = nullptr;
    QAction* m_stageAction;
    QMenu* m_screenMenu = nullptr;
    QAction* m_clickThroughAction;
    QShortcut* m_leaveStage;
    QList<std::pair<QAction*, QList<QKeySequence>>> m_keys;
    bool m_keysRegistered = true;
    // What the timer actions show, kept for when they are made.
    bool m_timerCounting = false;
    bool m_timerRunning = false;

    bool m_inStage = false;
    QPointer<QScreen> m_stageScreen;
    QRect m_normalGeometry;
    Qt::WindowStates m_normalStates;
    QString m_captionText;

    ClockModel m_last;
    bool m_haveLast = false;
    bool m_refreshing = false;
    bool m_shown = false;
    QColor m_backgroundColor;
    QColor m_outlineColor;
    int m_outlineWidth = kOutlineWidth;
    QColor m_tint;
    std::optional<ClockMode> m_symbolMode;
};

} // namespace tavix
