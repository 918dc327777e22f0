#pragma once

#include "model/clockbinding.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QVBoxLayout;

namespace tavix {

class AudioBackend;
class ColorPanel;
class ColorWell;
class Stepper;
class TimecodeRuntime;
class Toggle;

/// The settings panel of one clock, shown in a Popover from the clock window's settings button.
/// Every control writes straight into the bound clock; the section below the divider belongs to
/// the clock's mode and is built anew whenever the mode changes.
/// Main thread only.
class ClockSettingsPopover : public QWidget {
    Q_OBJECT

public:
    /// `timecodeRuntime` and `audio` may be null (no timecode input available).
    ClockSettingsPopover(ClockBinding clock, TimecodeRuntime* timecodeRuntime, double labelWidth,
                         AudioBackend* audio, QWidget* parent = nullptr);
    ~ClockSettingsPopover() override;

    QLineEdit* nameBox() const { return m_name; }
    QComboBox* typeMenu() const { return m_type; }
    const std::array<ColorWell*, 3>& colorWells() const { return m_wells; }
    QSlider* opacitySlider() const { return m_opacity; }
    QLabel* opacityText() const { return m_opacityText; }
    Toggle* alwaysOnTopToggle() const { return m_alwaysOnTop; }
    /// Wall clocks only, else null.
    QLineEdit* offsetBox() const { return m_offsetBox; }
    Stepper* offsetStepper() const { return m_offsetStepper; }
    /// The current mode section (a CountdownSettingsEditor, TimecodeSettingsEditor, … or a row).
    QWidget* modeSection() const { return m_modeSection; }
    ColorPanel* colorPanel() const { return m_colorPanel; }

    /// The opacity slider's positions: 0.1 to 1.0 in steps of 0.05.
    static int sliderPositionForOpacity(double opacity);
    static double opacityForSliderPosition(int position);

Q_SIGNALS:
    /// The panel asks its presentation to close (the timecode editor's Apply and Cancel).
    void dismissRequested();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void rebuildModeSection();
    QWidget* makeOffsetSection();
    void writeClock(const std::function<void(ClockModel&)>& change);

    ClockBinding m_clock;
    QPointer<TimecodeRuntime> m_timecodeRuntime;
    double m_labelWidth;
    AudioBackend* m_audio;

    ColorPanel* m_colorPanel;
    QVBoxLayout* m_layout = nullptr;
    QLineEdit* m_name = nullptr;
    QComboBox* m_type = nullptr;
    std::array<ColorWell*, 3> m_wells{};
    QSlider* m_opacity = nullptr;
    QLabel* m_opacityText = nullptr;
    Toggle* m_alwaysOnTop = nullptr;

    ClockMode m_shownMode = ClockMode::clock;
    QWidget* m_modeSection = nullptr;
    std::function<void()> m_refreshModeSection;
    QLineEdit* m_offsetBox = nullptr;
    Stepper* m_offsetStepper = nullptr;
    bool m_writingOffsetText = false;
    bool m_refreshing = false;
};

} // namespace tavix
