#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace tavix {

/// Tavix on the session bus, where the desktop has one: the application name "org.tavix.Tavix" with
/// the org.freedesktop.Application interface (so that the desktop can bring Tavix to the front), and
/// desktop notifications. Without a session bus every call does nothing.
/// Main thread only.
class DesktopBus : public QObject {
    Q_OBJECT

public:
    static constexpr auto kServiceName = "org.tavix.Tavix";

    explicit DesktopBus(QObject* parent = nullptr);
    ~DesktopBus() override;

    bool isConnected() const { return m_connected; }

    /// Claims the application name unless another process has it (a Tavix on another state folder)
    /// and offers org.freedesktop.Application under it. False when the name stays elsewhere.
    bool registerApplication();

    /// Shows a desktop notification where a notification service runs; never waits for it, and
    /// says nothing when there is none. `urgent` ones stay until the user dismisses them.
    void notify(const QString& summary, const QString& body, bool urgent);

Q_SIGNALS:
    /// The desktop asked Tavix to show itself.
    void activationRequested();

private:
    QDBusConnection m_bus;
    bool m_connected = false;
};

} // namespace tavix
