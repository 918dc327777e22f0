#pragma once

#include <QWidget>

class QToolButton;

namespace tavix {

/// Two stacked arrow buttons that step a number up or down; Up and Down keys do the same while it
/// has focus. It holds no value: its owner applies the step and says which directions are open.
/// Main thread only.
class Stepper : public QWidget {
    Q_OBJECT

public:
    explicit Stepper(QWidget* parent = nullptr);

    void setCanStepUp(bool can);
    void setCanStepDown(bool can);

    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

Q_SIGNALS:
    /// +1 for up, -1 for down.
    void stepped(int delta);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

} // namespace tavix
