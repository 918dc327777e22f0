#pragma once

#include <QAbstractButton>

namespace tavix {

/// A switch-style on/off control with its title beside it. `clicked(bool)` tells user changes;
/// setChecked() from code does not.
/// Main thread only.
class Toggle : public QAbstractButton {
    Q_OBJECT

public:
    explicit Toggle(const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
};

} // namespace tavix
