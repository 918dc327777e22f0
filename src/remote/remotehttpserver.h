#pragma once

#include <QAbstractHttpServer>
#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QWebSocket>

namespace tavix {

class RemoteApi;

/// The HTTP and WebSocket server on one port: a thin shell around RemoteApi. Each connection is
/// watched by an HttpRequestGate before Qt's parser reads it, WebSocket upgrades are let through
/// only to /api/v1/events and only for allowed clients.
/// Main thread only.
class RemoteHttpServer : public QAbstractHttpServer {
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

    /// A client whose upgrade lies this far behind in reading is dropped.
    static constexpr qint64 kMaximumClientBacklogBytes = qint64{4} * 1024 * 1024;

Q_SIGNALS:
    void clientConnected(QWebSocket* client);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    void takeWebSockets();

    RemoteApi& m_api;
    QList<QWebSocket*> m_clients;
    QPointer<QTcpSocket> m_refusedSocket;
    QByteArray m_refusal;
};

} // namespace tavix
