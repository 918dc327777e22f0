#include "desktopbus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QVariantMap>

namespace tavix {

namespace {

constexpr auto kObjectPath = "/org/tavix/Tavix";

// Without an address libdbus would start a bus of its own through X11 ("autolaunch"), which would
// outlive Tavix; only a bus the session already has is used.
bool sessionHasBus() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return QDir::isAbsolutePath(runtime) && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

/// org.freedesktop.Application: how desktops start, open and activate an application by its name.
class ApplicationInterface : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationInterface(DesktopBus* bus) : QObject(bus), m_bus(bus) {}

public Q_SLOTS:
    void Activate(const QVariantMap&) { Q_EMIT m_bus->activationRequested(); }
    void Open(const QStringList&, const QVariantMap&) { Q_EMIT m_bus->activationRequested(); }
    void ActivateAction(const QString&, const QVariantList&, const QVariantMap&) {
        Q_EMIT m_bus->activationRequested();
    }

private:
    DesktopBus* m_bus;
};

} // namespace

DesktopBus::DesktopBus(QObject* parent)
    : QObject(parent), m_bus(sessionHasBus() ? QDBusConnection::sessionBus()
                                             : QDBusConnection(QStringLiteral("tavix-no-bus"))) {
    m_connected = m_bus.isConnected();
}

DesktopBus::~DesktopBus() {
    if (m_connected) {
        m_bus.unregisterObject(QLatin1String(kObjectPath));
    }
}

bool DesktopBus::registerApplication() {
    if (!m_connected || !m_bus.interface()) {
        return false;
    }
    const auto reply = m_bus.interface()->registerService(QLatin1String(kServiceName),
                                                          QDBusConnectionInterface::DontQueueService,
                                                          QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        return false;
    }
    return m_bus.registerObject(QLatin1String(kObjectPath), new ApplicationInterface(this),
                                QDBusConnection::ExportAllSlots);
}

void DesktopBus::notify(const QString& summary, const QString& body, bool urgent) {
    if (!m_connected) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("org.tavix.Tavix")},
                            {QStringLiteral("urgency"), QVariant::fromValue<uchar>(urgent ? 2 : 1)}};
    call << QStringLiteral("Tavix") << 0u << QStringLiteral("org.tavix.Tavix") << summary << body
         << QStringList() << hints << -1;
    // The reply, or the error of a desktop without notifications, is of no interest.
    m_bus.asyncCall(call);
}

} // namespace tavix

#include "desktopbus.moc"
