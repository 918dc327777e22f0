#pragma once

#include "binding.h"
#include "model/clockmodel.h"

#include <QWidget>

#include <array>

class QComboBox;

namespace tavix {

class ColorPanel;
class ColorWell;
class TimeFieldEditor;
class Toggle;

/// The countdown section of the clock settings: start and warning times as hours, minutes and
/// seconds, the warning and overtime colours, the overtime flash and tenths. Writes every change into the
/// record. Main thread only.
class CountdownSettingsEditor : public QWidget {
    Q_OBJECT

public:
    CountdownSettingsEditor(Binding<CountdownSettings> countdown, double labelWidth, ColorPanel* colorPanel,
                            QWidget* parent = nullptr);

    /// Shows the record again after an outside change.
    void refresh();

    /// "Start" H, M, S.
    const std::array<TimeFieldEditor*, 3>& startFields() const { return m_startFields; }
    /// "Warn At" H, M, S.
    const std::array<TimeFieldEditor*, 3>& warningFields() const { return m_warningFields; }
    /// "Text", "Outline and background" or "Off".
    QComboBox* flashStyleMenu() const { return m_flashStyle; }
    const std::array<ColorWell*, 2>& overtimeWells() const { return m_overtimeWells; }
    Toggle* tenthsToggle() const { return m_tenths; }

private:
    Binding<CountdownSettings> m_countdown;
    std::array<TimeFieldEditor*, 3> m_startFields{};
    std::array<TimeFieldEditor*, 3> m_warningFields{};
    std::array<ColorWell*, 2> m_wells{};
    std::array<ColorWell*, 2> m_overtimeWells{};
    QComboBox* m_flashStyle = nullptr;
    Toggle* m_tenths = nullptr;
};

} // namespace tavix
