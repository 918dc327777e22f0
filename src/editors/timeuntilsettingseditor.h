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

/// The time-until section: the target time of day, the at-target colours and flashing.
/// Main thread only.
class TimeUntilSettingsEditor : public QWidget {
    Q_OBJECT

public:
    TimeUntilSettingsEditor(Binding<TimeUntilSettings> settings, double labelWidth, ColorPanel* colorPanel,
                            QWidget* parent = nullptr);

    void refresh();

    /// "Target" H, M, S.
    const std::array<TimeFieldEditor*, 3>& targetFields() const { return m_targetFields; }
    Toggle* flashToggle() const { return m_flash; }
    /// "Never", or how long after today's target the count moves to tomorrow's.
    QComboBox* rollOverMenu() const { return m_rollOver; }

    static constexpr int kRollOverMinutes[] = {0, 1, 5, 15, 30, 60, 120};

private:
    Binding<TimeUntilSettings> m_settings;
    std::array<TimeFieldEditor*, 3> m_targetFields{};
    std::array<ColorWell*, 2> m_wells{};
    Toggle* m_flash = nullptr;
    QComboBox* m_rollOver = nullptr;
};

} // namespace tavix
