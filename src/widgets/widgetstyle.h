#pragma once

#include "model/colorvalue.h"

#include <QColor>
#include <QString>

class QPushButton;

namespace tavix {

/// The colour as Qt draws it (sRGB components, clamped to the drawable range).
QColor toQColor(const ColorValue& color);

/// Styles a control-row button as a filled, prominent button in `tint` (black or white), with its
/// label in the opposite colour.
void styleProminentButton(QPushButton* button, const QColor& tint);

} // namespace tavix
