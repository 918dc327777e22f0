#pragma once

#include "binding.h"
#include "model/clockmodel.h"

#include <QWidget>

#include <array>

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

private:
    Binding<TimeUntilSettings> m_settings;
    std::array<TimeFieldEditor*, 3> m_targetFields{};
    std::array<ColorWell*, 2> m_wells{};
    Toggle* m_flash = nullptr;
};

} // namespace tavix
