#include "symbols.h"

#include <QCoreApplication>
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
                QCoreApplication::translate("tavix::Symbol", "Time")};
    case ClockMode::countdown:
        return {{QStringLiteral("alarm-symbolic")},
                resource("timer.svg"),
                QCoreApplication::translate("tavix::Symbol", "Countdown")};
    case ClockMode::stopwatch:
        return {{QStringLiteral("stopwatch-symbolic")},
                resource("stopwatch.svg"),
                QCoreApplication::translate("tavix::Symbol", "Stopwatch")};
    case ClockMode::timecode:
        return {{}, resource("timecode.svg"), QCoreApplication::translate("tavix::Symbol", "Timecode")};
    case ClockMode::timeUntil:
        return {{QStringLiteral("hourglass-symbolic")},
                resource("hourglass.svg"),
                QCoreApplication::translate("tavix::Symbol", "Time until…")};
    }
    return {};
}

Symbol settingsSymbol() {
    return {{QStringLiteral("emblem-system-symbolic"), QStringLiteral("preferences-system-symbolic")},
            resource("gear.svg"),
            QCoreApplication::translate("tavix::Symbol", "Clock Settings")};
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
