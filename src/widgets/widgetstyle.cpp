#include "widgetstyle.h"

#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

double unit(double value) {
    return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0;
}

} // namespace

QColor toQColor(const ColorValue& color) {
    const RgbaComponents c = color.components();
    return QColor::fromRgbF(static_cast<float>(unit(c.red)), static_cast<float>(unit(c.green)),
                            static_cast<float>(unit(c.blue)), static_cast<float>(unit(c.alpha)));
}

void styleProminentButton(QPushButton* button, const QColor& tint) {
    const bool lightTint = tint.lightnessF() > 0.5;
    const QString label = lightTint ? QStringLiteral("#111111") : QStringLiteral("#f2f2f2");
    const QString fill = tint.name();
    const QString pressed = lightTint ? QStringLiteral("#c8c8c8") : QStringLiteral("#3a3a3a");
    button->setStyleSheet(
        QStringLiteral("QPushButton { background: %1; color: %2; border: none; border-radius: 7px;"
                       " padding: 6px 14px; font-weight: bold; font-size: 15px; min-width: 70px; }"
                       " QPushButton:pressed { background: %3; }"
                       " QPushButton:focus { outline: none; }")
            .arg(fill, label, pressed));
}

} // namespace tavix
