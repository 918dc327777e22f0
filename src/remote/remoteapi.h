#pragma once

#include "accesscontrol.h"
#include "clockcommand.h"

#include <QByteArray>
#include <QJsonArray>

#include <optional>

namespace tavix {

class RemoteClockBackend;

/// One HTTP request as the server received it.
struct HttpRequest {
    QByteArray method;
    /// The path as sent, still percent-encoded, without the query.
    QByteArray path;
    /// The query as sent, without "?".
    QByteArray query;
    HttpHeaders headers;
    QByteArray body;
};

struct HttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    HttpHeaders headers;
};

/// The HTTP/JSON interface, free of sockets: checks who asks, routes the request, runs the
/// command through the backend and words the answer.
/// Main thread only.
class RemoteApi {
public:
    explicit RemoteApi(RemoteClockBackend& backend);

    void setPolicy(const AccessPolicy& policy) { m_policy = policy; }
    const AccessPolicy& policy() const { return m_policy; }

    HttpResponse handle(const HttpRequest& request);

    /// For a WebSocket upgrade: the refusal to send, or none to accept the client.
    std::optional<HttpResponse> refuseUpgrade(const HttpRequest& request, int connectedClients) const;

    /// The refusal for a connection whose bytes the gate stopped (413, 431, 411 or 400).
    static HttpResponse refusal(int status, const QString& reason);

    /// The event message that carries the whole clock list.
    static QByteArray clocksMessage(const QList<ClockSnapshot>& clocks);

    static constexpr int kMaximumWebSocketClients = 64;
    static constexpr const char* kEventsPath = "/api/v1/events";

private:
    std::optional<HttpResponse> refuseAccess(const HttpRequest& request) const;
    HttpResponse route(const HttpRequest& request);
    HttpResponse clockAction(const HttpRequest& request, const QString& clock, const QString& word);
    HttpResponse addClock(const HttpRequest& request);

    RemoteClockBackend& m_backend;
    AccessPolicy m_policy;
};

/// The token a request presents: its bearer header, or the "access_token" query parameter that
/// browsers must use where they cannot set headers (page loads, WebSockets).
std::optional<QByteArray> presentedToken(const HttpRequest& request);

/// Reads the JSON body of a command for `action`; the reason when it is not acceptable.
std::optional<QString> parseCommandBody(const QByteArray& body, ClockCommand& command);

} // namespace tavix
