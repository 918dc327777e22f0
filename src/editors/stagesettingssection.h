#pragma once

#include "model/clockbinding.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QLineEdit;

namespace tavix {

class Toggle;

/// The clock settings panel's rows for putting a clock on a stage: Stage Mode and its screen, the
/// caption under the digits, and click-through for the floating window. Writes straight into the
/// clock's stage record and follows the store live.
/// Main thread only.
class StageSettingsSection : public QWidget {
    Q_OBJECT

public:
    StageSettingsSection(ClockBinding clock, double labelWidth, QWidget* parent = nullptr);

    Toggle* stageModeToggle() const { return m_stageMode; }
    QComboBox* screenMenu() const { return m_screen; }
    QComboBox* captionMenu() const { return m_caption; }
    QLineEdit* messageBox() const { return m_message; }
    Toggle* clickThroughToggle() const { return m_clickThrough; }

private:
    void refresh();
    void fillScreens(const StageSettings& stage);
    void writeStage(const std::function<void(StageSettings&)>& change);

    ClockBinding m_clock;
    Toggle* m_stageMode;
    QComboBox* m_screen;
    QComboBox* m_caption;
    QLineEdit* m_message;
    Toggle* m_clickThrough;
    bool m_refreshing = false;
};

} // namespace tavix
