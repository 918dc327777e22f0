#include "remotehttpserver.h"

#include "httpgate.h"
#include "remoteapi.h"

#include <QAbstractHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QTcpServer>
#include <QTcpSocket>

#include <functional>
#include <memory>
#include <mutex>

namespace tavix {

namespace {

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 201:
        return "Created";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 409:
        return "Conflict";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray wireForm(const HttpResponse& response) {
    QByteArray out =
        "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        out += name + ": " + value + "\r\n";
    }
    return out + "\r\n" + response.body;
}

HttpResponse gateRefusal(HttpRequestGate::Verdict verdict) {
    switch (verdict) {
    case HttpRequestGate::Verdict::bodyTooLarge:
        return RemoteApi::refusal(413, QStringLiteral("request bodies may be at most 64 KiB"));
    case HttpRequestGate::Verdict::headersTooLarge:
        return RemoteApi::refusal(431, QStringLiteral("request headers may be at most 16 KiB"));
    case HttpRequestGate::Verdict::lengthRequired:
        return RemoteApi::refusal(411, QStringLiteral("send the body with a Content-Length"));
    case HttpRequestGate::Verdict::badRequest:
    case HttpRequestGate::Verdict::pass:
        break;
    }
    return RemoteApi::refusal(400, QStringLiteral("malformed request"));
}

/// Hands every connection to the HTTP server with a gate in front of its parser: the gate's
/// readyRead slot is connected first, so it sees each chunk before the parser reads it.
class GatedTcpServer : public QTcpServer {
public:
    GatedTcpServer(std::function<QObject*()> httpServer, QObject* parent)
        : QTcpServer(parent), m_httpServer(std::move(httpServer)) {}

protected:
    void incomingConnection(qintptr descriptor) override {
        auto* socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        // Event messages are small and frequent: Nagle's algorithm against the client's delayed
        // acknowledgements would hold them back by up to 40 ms.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto gate = std::make_shared<HttpRequestGate>();
        connect(socket, &QIODevice::readyRead, socket,
                [socket, gate, http = QPointer<QObject>(m_httpServer())] {
                    const auto verdict = gate->feed(socket->peek(socket->bytesAvailable()));
                    if (verdict == HttpRequestGate::Verdict::pass) {
                        return;
                    }
                    // Qt's parser never sees this connection again; the answer goes out and it closes.
                    if (http) {
                        QObject::disconnect(socket, nullptr, http, nullptr);
                    }
                    QObject::disconnect(socket, &QIODevice::readyRead, socket, nullptr);
                    socket->write(wireForm(gateRefusal(verdict)));
                    socket->disconnectFromHost();
                });
        addPendingConnection(socket);
    }

private:
    std::function<QObject*()> m_httpServer;
};

QLoggingCategory::CategoryFilter previousFilter = nullptr;

// Chained with whatever filter was there, and only for Qt's HTTP server category.
void quietHttpServerWarnings(QLoggingCategory* category) {
    if (previousFilter) {
        previousFilter(category);
    }
    if (qstrcmp(category->categoryName(), "qt.httpserver") == 0) {
        category->setEnabled(QtWarningMsg, false);
    }
}

HttpRequest toRequest(const QHttpServerRequest& request) {
    HttpRequest out;
    const QMetaEnum methods = QMetaEnum::fromType<QHttpServerRequest::Method>();
    out.method = QByteArray(methods.valueToKey(static_cast<int>(request.method()))).toUpper();
    out.path = request.url().path(QUrl::FullyEncoded).toUtf8();
    out.query = request.url().query(QUrl::FullyEncoded).toUtf8();
    out.headers = request.headers();
    out.body = request.body();
    return out;
}

bool isWebSocketUpgrade(const HttpRequest& request) {
    const auto upgrade = headerValue(request.headers, "Upgrade");
    return upgrade && upgrade->toLower().contains("websocket");
}

void respond(QHttpServerResponder responder, const HttpResponse& response) {
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(response.status));
    responder.writeHeader(QByteArrayLiteral("Content-Type"), response.contentType);
    responder.writeHeader(QByteArrayLiteral("Content-Length"), QByteArray::number(response.body.size()));
    for (const auto& [name, value] : response.headers) {
        responder.writeHeader(name, value);
    }
    responder.writeBody(response.body);
}

} // namespace

class RemoteHttpServer::Handler : public QAbstractHttpServer {
public:
    Handler(RemoteHttpServer& owner, RemoteApi& api)
        : QAbstractHttpServer(&owner), m_owner(owner), m_api(api) {
        connect(this, &QAbstractHttpServer::newWebSocketConnection, &owner,
                &RemoteHttpServer::takeWebSockets);
    }

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override {
        const HttpRequest plain = toRequest(request);
        if (isWebSocketUpgrade(plain)) {
            if (auto refused = m_api.refuseUpgrade(plain, m_owner.clientCount())) {
                // Returning false makes Qt call missingHandler for this request, which answers.
                m_refusedSocket = socket;
                m_refusal = wireForm(*refused);
                return false;
            }
            // Qt hands the connection to its WebSocket server; the client arrives in takeWebSockets.
            return true;
        }
        respond(makeResponder(request, socket), m_api.handle(plain));
        return true;
    }

    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override {
        if (socket == m_refusedSocket && !m_refusal.isEmpty()) {
            socket->write(m_refusal);
            m_refusal.clear();
            m_refusedSocket.clear();
            socket->disconnectFromHost();
            return;
        }
        respond(makeResponder(request, socket), RemoteApi::refusal(400, QStringLiteral("malformed request")));
    }

private:
    friend class RemoteHttpServer;
    RemoteHttpServer& m_owner;
    RemoteApi& m_api;
    QPointer<QTcpSocket> m_refusedSocket;
    QByteArray m_refusal;
};

RemoteHttpServer::RemoteHttpServer(RemoteApi& api, QObject* parent) : QObject(parent), m_api(api) {
    // Refused upgrades are answered by missingHandler; Qt's warning about them is noise.
    static std::once_flag quieted;
    std::call_once(quieted,
                   [] { previousFilter = QLoggingCategory::installFilter(quietHttpServerWarnings); });
}

RemoteHttpServer::~RemoteHttpServer() {
    const auto clients = m_clients;
    m_clients.clear();
    for (QWebSocket* client : clients) {
        client->disconnect(this);
        client->abort();
        delete client;
    }
    // The HTTP server goes before the sockets it was given.
    delete m_http;
    m_http = nullptr;
}

std::optional<QString> RemoteHttpServer::listen(const QList<QHostAddress>& addresses, quint16 port) {
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        auto* server = new GatedTcpServer([this] { return serving(); }, this);
        if (!server->listen(addresses[i], port)) {
            const QString reason = server->serverError() == QAbstractSocket::AddressInUseError
                                       ? QStringLiteral("the port is in use by another program")
                                       : server->errorString();
            delete server;
            if (i == 0) {
                return reason;
            }
            continue;
        }
        m_listeners.append(server);
        if (m_http) {
            m_http->bind(server);
        }
    }
    return std::nullopt;
}

QObject* RemoteHttpServer::serving() {
    if (!m_http) {
        m_http = new Handler(*this, m_api);
        for (const QPointer<QTcpServer>& listener : std::as_const(m_listeners)) {
            if (listener) {
                m_http->bind(listener);
            }
        }
    }
    return m_http;
}

void RemoteHttpServer::takeWebSockets() {
    while (m_http && m_http->hasPendingWebSocketConnections()) {
        QWebSocket* client = m_http->nextPendingWebSocketConnection().release();
        if (!client) {
            continue;
        }
        connect(client, &QWebSocket::disconnected, client, &QObject::deleteLater);
        if (clientCount() >= RemoteApi::kMaximumWebSocketClients) {
            client->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("too many clients"));
            continue;
        }
        client->setMaxAllowedIncomingFrameSize(quint64{64} * 1024);
        client->setMaxAllowedIncomingMessageSize(quint64{64} * 1024);
        m_clients.append(client);
        connect(client, &QWebSocket::disconnected, this, [this, client] { m_clients.removeOne(client); });
        Q_EMIT clientConnected(client);
    }
}

void RemoteHttpServer::broadcast(const QByteArray& message) {
    const QString text = QString::fromUtf8(message);
    const auto clients = m_clients;
    for (QWebSocket* client : clients) {
        if (client->bytesToWrite() > kMaximumClientBacklogBytes) {
            m_clients.removeOne(client);
            client->abort();
            continue;
        }
        client->sendTextMessage(text);
    }
}

} // namespace tavix
