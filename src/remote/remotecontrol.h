#pragma once

#include "oscprotocol.h"
#include "remoteapi.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace tavix {

class AppState;
class RemoteClockBackend;
class RemoteHttpServer;
class RemoteOscServer;

/// The remote control of the running application: the HTTP/WebSocket server and the OSC server,
/// configured by the remote keys of the settings and rebound at once when they change, and the
/// event stream to WebSocket clients (every change, and ten messages a second while a clock's
/// text changes by itself).
/// Main thread only.
class RemoteControl : public QObject {
    Q_OBJECT

public:
    struct Status {
        bool enabled = false;
        bool allowOtherComputers = false;
        quint16 httpPort = 0;
        quint16 oscPort = 0;
        bool httpListening = false;
        bool oscListening = false;
        /// Why a server does not run, for the settings window ("" when it runs or is off).
        QString problem;
        /// The web remote's address: this computer's network address with the token when other
        /// computers are allowed, otherwise the loopback address.
        QString url;
    };

    RemoteControl(AppState& state, RemoteClockBackend& backend, QObject* parent = nullptr);
    ~RemoteControl() override;

    /// Binds as the settings say and follows their changes from now on.
    void start();

    const Status& status() const { return m_status; }
    int webSocketClients() const;

    static constexpr int kLiveIntervalMs = 95;

Q_SIGNALS:
    void statusChanged();

private:
    struct Binding {
        bool enabled = false;
        bool allowOtherComputers = false;
        std::int64_t httpPort = 0;
        std::int64_t oscPort = 0;
        QString token;
        bool operator==(const Binding&) const = default;
    };

    void applySettings();
    void rebind(const Binding& binding);
    void scheduleBroadcast();
    void broadcast();

    AppState& m_state;
    RemoteClockBackend& m_backend;
    RemoteApi m_api;
    OscEndpoint m_osc;
    std::unique_ptr<RemoteHttpServer> m_httpServer;
    std::unique_ptr<RemoteOscServer> m_oscServer;
    std::optional<Binding> m_bound;
    Status m_status;
    QTimer m_live;
    bool m_broadcastPending = false;
    bool m_applying = false;
};

/// The address to show for the web remote; `localAddress` is used when other computers are allowed.
QString webRemoteUrl(bool allowOtherComputers, const QString& localAddress, quint16 port,
                     const QString& token);

/// The first IPv4 address of an interface that is up and not loopback, else the host name.
QString thisComputersAddress();

} // namespace tavix
