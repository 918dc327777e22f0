#pragma once

#include "binding.h"
#include "model/colorvalue.h"

#include <QAbstractButton>
#include <QColor>

namespace tavix {

class ColorPanel;

/// A colour swatch button bound to one colour value; a click opens its panel's shared colour
/// dialog for it. The title is not shown but names the well for accessibility.
/// Main thread only.
class ColorWell : public QAbstractButton {
    Q_OBJECT

public:
    ColorWell(const QString& title, const QString& toolTip, Binding<ColorValue> color, ColorPanel* panel,
              QWidget* parent = nullptr);

    /// Re-reads the bound colour.
    void refresh();
    ColorValue color() const { return m_color; }
    /// Writes a colour picked in the dialog.
    void pick(const ColorValue& color);

    QSize sizeHint() const override { return {44, 24}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Binding<ColorValue> m_binding;
    ColorPanel* m_panel;
    ColorValue m_color;
};

} // namespace tavix
