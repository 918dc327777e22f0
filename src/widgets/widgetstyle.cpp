#include "widgetstyle.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

float unit(double value) {
    return static_cast<float>(std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0));
}

} // namespace

QColor toQColor(const ColorValue& color) {
    const RgbaComponents c = color.components();
    return QColor::fromRgbF(unit(c.red), unit(c.green), unit(c.blue), unit(c.alpha));
}

ColorValue fromQColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return ColorValue::srgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

QPalette darkPalette() {
    QPalette palette;
    const QColor window(0x16, 0x16, 0x16);
    const QColor field(0x00, 0x00, 0x00);
    const QColor button(0x2a, 0x2a, 0x2c);
    const QColor text = primaryTextColor();
    const QColor dim = secondaryTextColor();
    const QColor accent(0x0a, 0x84, 0xff);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, field);
        palette.setColor(group, QPalette::AlternateBase, button);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText, dim);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, accent);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, button);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
        palette.setColor(group, QPalette::Midlight, QColor(0x3a, 0x3a, 0x3e));
        palette.setColor(group, QPalette::Mid, QColor(0x30, 0x30, 0x33));
        palette.setColor(group, QPalette::Dark, QColor(0x0c, 0x0c, 0x0c));
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::Link, accent);
    }
    const QColor disabled(0x5e, 0x5e, 0x62);
    palette.setColor(QPalette::Disabled, QPalette::Window, window);
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0x10, 0x10, 0x10));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x20, 0x20, 0x22));
    for (const auto role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x3a, 0x3a, 0x3e));
    return palette;
}

QColor primaryTextColor() {
    return QColor(0xec, 0xec, 0xee);
}

QColor secondaryTextColor() {
    return QColor(0x98, 0x98, 0x9f);
}

} // namespace tavix
