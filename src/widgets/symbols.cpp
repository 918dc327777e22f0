#include "symbols.h"

#include <QPainter>

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

} // namespace

Symbol modeSymbol(ClockMode mode) {
    switch (mode) {
    case ClockMode::clock:
        return {{QStringLiteral("preferences-system-time-symbolic")},
                resource("clock.svg"),
                QStringLiteral("Time")};
    case ClockMode::countdown:
        return {{QStringLiteral("alarm-symbolic")}, resource("timer.svg"), QStringLiteral("Countdown")};
    case ClockMode::stopwatch:
        return {
            {QStringLiteral("stopwatch-symbolic")}, resource("stopwatch.svg"), QStringLiteral("Stopwatch")};
    case ClockMode::timecode:
        return {{}, resource("timecode.svg"), QStringLiteral("Timecode")};
    case ClockMode::timeUntil:
        return {{QStringLiteral("hourglass-symbolic")},
                resource("hourglass.svg"),
                QStringLiteral("Time until\u2026")};
    }
    return {};
}

Symbol settingsSymbol() {
    return {{QStringLiteral("emblem-system-symbolic"), QStringLiteral("preferences-system-symbolic")},
            resource("gear.svg"),
            QStringLiteral("Clock Settings")};
}

QIcon applicationIcon() {
    return QIcon(resource("tavix.svg"));
}

QIcon symbolIcon(const Symbol& symbol) {
    for (const QString& name : symbol.themeNames) {
        if (QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    return QIcon(symbol.fallbackResource);
}

QPixmap tintedPixmap(const QIcon& icon, int size, const QColor& color, qreal devicePixelRatio) {
    const int pixels = qRound(size * devicePixelRatio);
    QPixmap pixmap = icon.pixmap(QSize(pixels, pixels));
    if (pixmap.isNull()) {
        return pixmap;
    }
    pixmap = pixmap.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

} // namespace tavix
