#pragma once

#include "model/colorvalue.h"

#include <QColor>
#include <QPalette>

namespace tavix {

/// The colour as Qt draws it. Stored components have no range limit, so each is clamped to 0...1:
/// +infinity counts as full, NaN and -infinity as none.
QColor toQColor(const ColorValue& color);
/// A colour picked in Qt, as sRGB components.
ColorValue fromQColor(const QColor& color);

/// The one dark palette of the application, its menus, dialogs and editors: near-black window,
/// black fields, light text, matching the clock faces.
QPalette darkPalette();
/// Light text for primary content.
QColor primaryTextColor();
/// Dimmed text for row labels, captions and help lines.
QColor secondaryTextColor();

} // namespace tavix
