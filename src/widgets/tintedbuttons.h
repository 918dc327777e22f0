#pragma once

#include <QPushButton>
#include <QToolButton>

namespace tavix {

/// A control-row button filled in its tint (black or white) with its label in the opposite colour.
/// It paints itself: a style sheet per button would cost every window its own style object, its
/// parse and its polish.
class ProminentButton : public QPushButton {
    Q_OBJECT

public:
    explicit ProminentButton(const QString& text, QWidget* parent = nullptr);

    void setTint(const QColor& tint);
    const QColor& tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint = Qt::black;
};

/// A borderless symbol button on a clock face: only its symbol, with a faint rounded backing in
/// the face's tint while the pointer is over it.
class SymbolButton : public QToolButton {
    Q_OBJECT

public:
    explicit SymbolButton(QWidget* parent = nullptr);

    void setTint(const QColor& tint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_tint = Qt::black;
};

} // namespace tavix
