#pragma once

#include "editors/popover.h"
#include "model/clockbinding.h"
#include "timecodeclockview.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;
class QPushButton;
class QToolButton;

namespace tavix {

class AudioBackend;
class FittedText;
class RunningTimers;
class TickEngine;
class TickScheduler;
class TimecodeRuntimeHolder;

/// The top-level window of one clock: its display in the clock's mode and colours, the outline,
/// the control row, the mode symbol and the settings button. Finds its clock in the store by id
/// on every read; a clock that is gone shows as "Deleted Clock". Owns the tick engine and the
/// timecode holder; ticks while it is shown (minimising does not count as leaving the screen).
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
    bool showingSettings() const { return m_popover != nullptr; }

    /// Copies the clock's name, opacity and always-on-top flag onto the window.
    void applyWindowSettings();
    /// The same, on the next turn of the event loop.
    void scheduleApplyWindowSettings();
    /// Opens or closes the settings popover.
    void toggleSettings();

    // The parts, for tests and the window manager.
    FittedText* display() const { return m_display; }
    QLabel* message() const { return m_message; }
    QLabel* modeSymbolLabel() const { return m_modeSymbol; }
    QToolButton* settingsButton() const { return m_settingsButton; }
    QPushButton* startPauseButton() const { return m_startPause; }
    QPushButton* resetButton() const { return m_reset; }
    QWidget* controlRow() const { return m_controls; }
    TimecodeClockView* timecodeView() const { return m_timecodeView; }
    Popover* popover() const { return m_popover; }
    /// The outline's rectangle (the display's bounds), in window coordinates.
    QRect outlineRect() const;
    QColor outlineColor() const { return m_outlineColor; }
    QColor backgroundColor() const { return m_backgroundColor; }

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

private:
    void refresh(bool ticked);
    void showMode(const ClockModel& clock);
    void updateTint(const ClockModel& clock);

    ClockBinding m_clock;
    AudioBackend* m_audio;
    TickEngine* m_engine;
    TimecodeRuntimeHolder* m_holder;

    QLabel* m_modeSymbol;
    QToolButton* m_settingsButton;
    QWidget* m_displayArea;
    FittedText* m_display;
    QLabel* m_message;
    QPointer<TimecodeClockView> m_timecodeView;
    QWidget* m_controls;
    QPushButton* m_startPause;
    QPushButton* m_reset;
    QPointer<Popover> m_popover;

    ClockModel m_last;
    bool m_haveLast = false;
    bool m_refreshing = false;
    bool m_shown = false;
    QColor m_backgroundColor;
    QColor m_outlineColor;
    QColor m_tint;
    std::optional<ClockMode> m_symbolMode;
};

} // namespace tavix
