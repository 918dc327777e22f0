#pragma once

#include "model/clockbinding.h"
#include "widgets/tintedbuttons.h"

#include <QPointer>
#include <QWidget>

class QGraphicsOpacityEffect;
class QPushButton;

namespace tavix {

class FittedText;
class TimecodeRuntime;
class TimecodeRuntimeHolder;

/// The display of a timecode clock: the runtime's HH:MM:SS:FF in the fitted font and the clock's
/// text colour, dimmed with the words NO LTC under it while no timecode arrives (unless held), and
/// the HOLD button. Starts the clock's input as it comes on screen, restarts it when the clock's
/// timecode settings change, and stops it as it leaves the screen.
/// Main thread only.
class TimecodeClockView : public QWidget {
    Q_OBJECT

public:
    /// How strongly the digits show while no timecode arrives.
    static constexpr qreal kDimmedOpacity = 0.35;

    TimecodeClockView(ClockBinding clock, TimecodeRuntimeHolder* holder, TimecodeRuntime* runtime,
                      QWidget* parent = nullptr);
    ~TimecodeClockView() override;

    FittedText* display() const { return m_display; }
    QPushButton* holdButton() const { return m_hold; }
    /// Opacity of the HOLD button: 1 while hold is on, 0.8 while off.
    qreal holdOpacity() const;
    /// Room kept inside the display for the outline drawn over it.
    void setDisplayInset(int inset);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void onClocksChanged();

    ClockBinding m_clock;
    QPointer<TimecodeRuntimeHolder> m_holder;
    QPointer<TimecodeRuntime> m_runtime;
    FittedText* m_display;
    ProminentButton* m_hold;
    QGraphicsOpacityEffect* m_holdOpacity;
    bool m_shown = false;
    TimecodeSettings m_settings;
    ColorValue m_lastBackground;
    bool m_styled = false;
};

} // namespace tavix
