#pragma once

#include "model/clockmodel.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

namespace tavix {

/// A symbol shown in a clock window: icon-theme names to try in order, and our own SVG for
/// machines whose theme has none of them.
struct Symbol {
    QStringList themeNames;
    QString fallbackResource;
    QString helpText;
};

/// The symbol of a mode, with its help text ("Time", "Countdown", …).
Symbol modeSymbol(ClockMode mode);
/// The settings button's symbol, help text "Clock Settings".
Symbol settingsSymbol();
/// The application's own icon.
QIcon applicationIcon();

/// The first theme icon that exists, otherwise the fallback SVG.
QIcon symbolIcon(const Symbol& symbol);
/// The icon as a one-colour silhouette in `color`, so theme icons and ours match the clock face.
QPixmap tintedPixmap(const QIcon& icon, int size, const QColor& color, qreal devicePixelRatio);

} // namespace tavix
