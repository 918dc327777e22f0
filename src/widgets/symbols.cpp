#include "symbols.h"

#include <QCoreApplication>
#include <QFile>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

// The icons live in a static library, whose resources are registered only when asked for.
static void registerIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace tavix {

namespace {

QString resource(const char* name) {
    static const bool registered = (registerIconResources(), true);
    Q_UNUSED(registered);
    return QStringLiteral(":/tavix/icons/") + QLatin1String(name);
}

struct SymbolSource {
    QStringList themeNames;
    const char* file;
};

// Theme names come first so the symbols look at home on the desktop; our SVGs are drawn in white
// (#ffffff), which is replaced by the colour asked for.
SymbolSource source(Symbol symbol) {
    switch (symbol) {
    case Symbol::clock:
        return {{QStringLiteral("preferences-system-time-symbolic")}, "clock.svg"};
    case Symbol::countdown:
        return {{QStringLiteral("alarm-symbolic")}, "timer.svg"};
    case Symbol::stopwatch:
        return {{QStringLiteral("stopwatch-symbolic")}, "stopwatch.svg"};
    case Symbol::timecode:
        return {{}, "timecode.svg"};
    case Symbol::timeUntil:
        return {{QStringLiteral("hourglass-symbolic")}, "hourglass.svg"};
    case Symbol::settings:
        return {{QStringLiteral("emblem-system-symbolic"), QStringLiteral("preferences-system-symbolic")},
                "gear.svg"};
    // The editors' symbols are always ours, so they look the same on every desktop.
    case Symbol::plusCircleFill:
        return {{}, "plus-circle.svg"};
    case Symbol::windowOnRectangle:
        return {{}, "window-on-rectangle.svg"};
    case Symbol::trash:
        return {{}, "trash.svg"};
    case Symbol::exclamationTriangleFill:
        return {{}, "warning.svg"};
    case Symbol::arrowClockwise:
        return {{}, "refresh.svg"};
    }
    return {{}, "clock.svg"};
}

QPixmap silhouette(const QIcon& icon, int pixels, const QColor& color) {
    QPixmap pixmap = icon.pixmap(QSize(pixels, pixels));
    if (pixmap.isNull()) {
        return pixmap;
    }
    pixmap = pixmap.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

QPixmap renderedSvg(const char* file, int pixels, const QColor& color) {
    QFile svgFile(resource(file));
    if (!svgFile.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray svg = svgFile.readAll();
    svg.replace("#ffffff", color.name().toLatin1());
    QSvgRenderer renderer(svg);
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(color.alphaF());
    renderer.render(&painter);
    return pixmap;
}

} // namespace

Symbol modeSymbol(ClockMode mode) {
    switch (mode) {
    case ClockMode::clock:
        return Symbol::clock;
    case ClockMode::countdown:
        return Symbol::countdown;
    case ClockMode::stopwatch:
        return Symbol::stopwatch;
    case ClockMode::timecode:
        return Symbol::timecode;
    case ClockMode::timeUntil:
        return Symbol::timeUntil;
    }
    return Symbol::clock;
}

QString symbolHelpText(Symbol symbol) {
    switch (symbol) {
    case Symbol::clock:
        return QCoreApplication::translate("tavix::Symbol", "Time");
    case Symbol::countdown:
        return QCoreApplication::translate("tavix::Symbol", "Countdown");
    case Symbol::stopwatch:
        return QCoreApplication::translate("tavix::Symbol", "Stopwatch");
    case Symbol::timecode:
        return QCoreApplication::translate("tavix::Symbol", "Timecode");
    case Symbol::timeUntil:
        return QCoreApplication::translate("tavix::Symbol", "Time until…");
    case Symbol::settings:
        return QCoreApplication::translate("tavix::Symbol", "Clock Settings");
    default:
        return {};
    }
}

QPixmap symbolPixmap(Symbol symbol, int size, const QColor& color, qreal devicePixelRatio) {
    // Every window of one tint shows the same few symbols: render each once, not once per window.
    const QString key = QStringLiteral("tavix-symbol:%1:%2:%3:%4")
                            .arg(int(symbol))
                            .arg(size)
                            .arg(color.name(QColor::HexArgb))
                            .arg(devicePixelRatio);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }
    const int pixels = qRound(size * devicePixelRatio);
    const SymbolSource from = source(symbol);
    for (const QString& name : from.themeNames) {
        if (QIcon::hasThemeIcon(name)) {
            pixmap = silhouette(QIcon::fromTheme(name), pixels, color);
            break;
        }
    }
    if (pixmap.isNull()) {
        pixmap = renderedSvg(from.file, pixels, color);
    }
    pixmap.setDevicePixelRatio(devicePixelRatio);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QIcon symbolIcon(Symbol symbol, const QColor& color) {
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        icon.addPixmap(symbolPixmap(symbol, size, color));
    }
    return icon;
}

QIcon spinnerIcon(int angleDegrees, const QColor& color) {
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double scale = size / 16.0;
        QPen pen(color, 1.8 * scale, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const QRectF box(2 * scale, 2 * scale, 12 * scale, 12 * scale);
        // Qt measures arcs in sixteenths of a degree, counter-clockwise; turn the gap clockwise.
        painter.drawArc(box, -angleDegrees * 16, 270 * 16);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon applicationIcon() {
    // Rendered once, at the sizes window managers show. X11 copies every size of a window's icon
    // into each window; drawn from the SVG, that would be 87 KB per window, rendered each time.
    static QIcon* icon = nullptr;
    if (!icon) {
        const QIcon drawing(resource("tavix.svg"));
        icon = new QIcon;
        for (const int size : {16, 32, 48}) {
            icon->addPixmap(drawing.pixmap(size));
        }
        qAddPostRoutine([] {
            delete icon;
            icon = nullptr;
        });
    }
    return *icon;
}

} // namespace tavix
