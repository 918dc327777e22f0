#pragma once

#include <QObject>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QWebSocket>

#include <optional>

namespace tavix {

class RemoteApi;

/// The HTTP and WebSocket server on one port: a thin shell around RemoteApi. Each connection is
/// watched by an HttpRequestGate before Qt's parser reads it, WebSocket upgrades are let through
/// only to /api/v1/events and only for allowed clients. Qt's HTTP server, and with it the TLS
/// library it loads (about 4 MB), is made when the first client connects: until a remote is used,
/// the server costs no more than its listening sockets.
/// Main thread only.
class RemoteHttpServer : public QObject {
    Q_OBJECT

public:
    explicit RemoteHttpServer(RemoteApi& api, QObject* parent = nullptr);
    ~RemoteHttpServer() override;

    /// Listens on `addresses` at `port`; the first address must work, the others may fail
    /// (a machine without IPv6). Returns the reason when the first one fails.
    std::optional<QString> listen(const QList<QHostAddress>& addresses, quint16 port);

    /// Sends a text message to every WebSocket client; drops clients that stopped reading.
    void broadcast(const QByteArray& message);
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    /// Whether a client has connected, and so Qt's HTTP server has been made.
    bool isServing() const { return m_http != nullptr; }

    /// A client whose upgrade lies this far behind in reading is dropped.
    static constexpr qint64 kMaximumClientBacklogBytes = qint64{4} * 1024 * 1024;

Q_SIGNALS:
    void clientConnected(QWebSocket* client);

private:
    class Handler;
    /// Qt's HTTP server, made and given the listening sockets on first use.
    QObject* serving();
    void takeWebSockets();

    RemoteApi& m_api;
    QList<QPointer<QTcpServer>> m_listeners;
    Handler* m_http = nullptr;
    QList<QWebSocket*> m_clients;
};

} // namespace tavix
