#pragma once

#include "model/clockmodel.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace tavix {

/// Every symbol Tavix shows, in the clock windows and in the editors. Each is drawn in one colour
/// of the caller's choice, so the symbols match the clock face or panel they sit on.
enum class Symbol {
    clock,
    countdown,
    stopwatch,
    timecode,
    timeUntil,
    settings,
    plusCircleFill,
    windowOnRectangle,
    trash,
    exclamationTriangleFill,
    arrowClockwise,
};

/// The symbol of a mode.
Symbol modeSymbol(ClockMode mode);
/// The help text of a clock window's symbol ("Time", "Countdown", …, "Clock Settings"); empty for
/// the editors' symbols, whose controls carry their own.
QString symbolHelpText(Symbol symbol);

/// The symbol `size` pixels square (device-independent) in `color`: the desktop theme's icon as a
/// one-colour silhouette where the theme has one, otherwise our own SVG. Main thread only.
QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);
/// The symbol in `color` at the sizes buttons and labels ask for. Main thread only.
QIcon symbolIcon(Symbol symbol, const QColor& color);
/// One frame of the small busy spinner, turned by `angleDegrees`.
QIcon spinnerIcon(int angleDegrees, const QColor& color);
/// The application's own icon.
QIcon applicationIcon();

} // namespace tavix
