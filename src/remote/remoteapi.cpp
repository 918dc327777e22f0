#include "remoteapi.h"

#include "model/appstate.h"
#include "remoteclockbackend.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QUrlQuery>

#include <cmath>

static void initRemoteResources() {
    Q_INIT_RESOURCE(web);
}

namespace tavix {

namespace {

HttpResponse json(int status, const QJsonDocument& document) {
    return {status, QByteArrayLiteral("application/json"), document.toJson(QJsonDocument::Compact), {}};
}

HttpResponse error(int status, const QString& reason) {
    return json(status, QJsonDocument(QJsonObject{{QStringLiteral("error"), reason},
                                                  {QStringLiteral("status"), status}}));
}

int httpStatus(CommandStatus status) {
    switch (status) {
    case CommandStatus::ok:
        return 200;
    case CommandStatus::notFound:
        return 404;
    case CommandStatus::badRequest:
        return 400;
    case CommandStatus::conflict:
        return 409;
    }
    return 500;
}

HttpResponse methodNotAllowed(const char* allowed) {
    HttpResponse response = error(405, QStringLiteral("use %1 here").arg(QString::fromLatin1(allowed)));
    response.headers.append({QByteArrayLiteral("Allow"), QByteArray(allowed)});
    return response;
}

QList<QString> pathSegments(const QByteArray& path) {
    QList<QString> segments;
    for (const QByteArray& raw : path.split('/')) {
        if (!raw.isEmpty()) {
            segments.append(QUrl::fromPercentEncoding(raw));
        }
    }
    return segments;
}

bool hasBody(const QByteArray& body) {
    return !body.trimmed().isEmpty();
}

std::optional<QJsonObject> bodyObject(const QByteArray& body, QString* reason) {
    if (!hasBody(body)) {
        return QJsonObject();
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *reason = QStringLiteral("the body is not JSON: %1").arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        *reason = QStringLiteral("the body must be a JSON object");
        return std::nullopt;
    }
    return document.object();
}

std::optional<QString> numberField(const QJsonObject& object, const QString& key,
                                   std::optional<double>& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        return std::nullopt;
    }
    if (!value.isDouble()) {
        return QStringLiteral("%1 must be a number").arg(key);
    }
    out = value.toDouble();
    return std::nullopt;
}

std::optional<QString> integerField(const QJsonObject& object, const QString& key, bool required,
                                    std::int64_t& out) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined() && !required) {
        return std::nullopt;
    }
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::trunc(number) != number || std::fabs(number) > 1e9) {
        return QStringLiteral("%1 must be a whole number").arg(key);
    }
    out = static_cast<std::int64_t>(number);
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> presentedToken(const HttpRequest& request) {
    if (auto token = bearerToken(request.headers)) {
        return token;
    }
    const QUrlQuery query(QString::fromUtf8(request.query));
    if (query.hasQueryItem(QStringLiteral("access_token"))) {
        return query.queryItemValue(QStringLiteral("access_token"), QUrl::FullyDecoded).toUtf8();
    }
    return std::nullopt;
}

std::optional<QString> parseCommandBody(const QByteArray& body, ClockCommand& command) {
    QString reason;
    const auto object = bodyObject(body, &reason);
    if (!object) {
        return reason;
    }
    switch (command.action) {
    case ClockAction::hold: {
        const QJsonValue on = object->value(QStringLiteral("on"));
        if (on.isUndefined()) {
            return std::nullopt;
        }
        if (!on.isBool()) {
            return QStringLiteral("on must be true or false");
        }
        command.hold = on.toBool();
        return std::nullopt;
    }
    case ClockAction::nudge: {
        std::optional<double> seconds;
        if (auto bad = numberField(*object, QStringLiteral("seconds"), seconds)) {
            return bad;
        }
        if (!seconds) {
            return QStringLiteral("give seconds, for example {\"seconds\": -60}");
        }
        command.seconds = *seconds;
        return std::nullopt;
    }
    case ClockAction::setCountdown:
        if (auto bad = numberField(*object, QStringLiteral("duration"), command.duration)) {
            return bad;
        }
        return numberField(*object, QStringLiteral("remaining"), command.remaining);
    case ClockAction::setTimeUntil:
        if (auto bad = integerField(*object, QStringLiteral("hour"), true, command.target.hour)) {
            return bad;
        }
        if (auto bad = integerField(*object, QStringLiteral("minute"), false, command.target.minute)) {
            return bad;
        }
        return integerField(*object, QStringLiteral("second"), false, command.target.second);
    case ClockAction::stage: {
        const QJsonValue on = object->value(QStringLiteral("on"));
        if (!on.isUndefined() && !on.isBool()) {
            return QStringLiteral("on must be true or false");
        }
        if (on.isBool()) {
            command.stageOn = on.toBool();
        }
        const QJsonValue screen = object->value(QStringLiteral("screen"));
        if (!screen.isUndefined() && !screen.isString()) {
            return QStringLiteral("screen must be a screen's name");
        }
        if (screen.isString()) {
            command.screen = screen.toString();
        }
        return std::nullopt;
    }
    case ClockAction::setCaption: {
        const QJsonValue caption = object->value(QStringLiteral("caption"));
        if (!caption.isUndefined()) {
            command.caption = captionKindFromRawValue(caption.toString());
            if (!command.caption) {
                return QStringLiteral("caption must be one of none, name, message");
            }
        }
        const QJsonValue message = object->value(QStringLiteral("message"));
        if (!message.isUndefined() && !message.isString()) {
            return QStringLiteral("message must be a text");
        }
        if (message.isString()) {
            command.message = message.toString();
        }
        return std::nullopt;
    }
    case ClockAction::start:
    case ClockAction::pause:
    case ClockAction::toggle:
    case ClockAction::reset:
    case ClockAction::open:
    case ClockAction::close:
        return std::nullopt;
    }
    return std::nullopt;
}

RemoteApi::RemoteApi(RemoteClockBackend& backend) : m_backend(backend) {
    initRemoteResources();
}

HttpResponse RemoteApi::refusal(int status, const QString& reason) {
    HttpResponse response = error(status, reason);
    response.headers.append({QByteArrayLiteral("Connection"), QByteArrayLiteral("close")});
    return response;
}

QByteArray RemoteApi::clocksMessage(const QList<ClockSnapshot>& clocks) {
    return QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("clocks")},
                                     {QStringLiteral("clocks"), toJson(clocks)}})
        .toJson(QJsonDocument::Compact);
}

std::optional<HttpResponse> RemoteApi::refuseAccess(const HttpRequest& request) const {
    const auto host = headerValue(request.headers, "Host");
    if (!hostAllowed(host, m_policy.allowOtherComputers)) {
        return error(403, QStringLiteral("Tavix answers only requests addressed to this computer by a "
                                         "loopback name (127.0.0.1, localhost)"));
    }
    if (!originAllowed(headerValue(request.headers, "Origin"), host)) {
        return error(403, QStringLiteral("requests from pages of other sites are refused"));
    }
    if (!authorized(m_policy, presentedToken(request))) {
        HttpResponse response = error(401, QStringLiteral("this request needs the access token: "
                                                          "Authorization: Bearer <token>"));
        response.headers.append(
            {QByteArrayLiteral("WWW-Authenticate"), QByteArrayLiteral("Bearer realm=\"Tavix\"")});
        return response;
    }
    return std::nullopt;
}

std::optional<HttpResponse> RemoteApi::refuseUpgrade(const HttpRequest& request, int connectedClients) const {
    if (auto refused = refuseAccess(request)) {
        return refused;
    }
    if (request.path != kEventsPath) {
        return error(404, QStringLiteral("WebSocket clients connect to %1").arg(QLatin1String(kEventsPath)));
    }
    if (connectedClients >= kMaximumWebSocketClients) {
        return error(503,
                     QStringLiteral("too many WebSocket clients (at most %1)").arg(kMaximumWebSocketClients));
    }
    return std::nullopt;
}

HttpResponse RemoteApi::handle(const HttpRequest& request) {
    if (auto refused = refuseAccess(request)) {
        return *refused;
    }
    HttpResponse response = route(request);
    // The answers are live data and commands: never cached, never framed by another page.
    response.headers.append({QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store")});
    response.headers.append({QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff")});
    return response;
}

HttpResponse RemoteApi::route(const HttpRequest& request) {
    const QList<QString> segments = pathSegments(request.path);
    const QByteArray& method = request.method;
    if (segments.isEmpty() || (segments.size() == 1 && segments[0] == QStringLiteral("index.html"))) {
        if (method != "GET") {
            return methodNotAllowed("GET");
        }
        QFile page(QStringLiteral(":/remote/index.html"));
        if (!page.open(QIODevice::ReadOnly)) {
            return error(500, QStringLiteral("the web remote is missing from this build"));
        }
        HttpResponse response{200, QByteArrayLiteral("text/html; charset=utf-8"), page.readAll(), {}};
        response.headers.append({QByteArrayLiteral("Content-Security-Policy"),
                                 QByteArrayLiteral("default-src 'none'; script-src 'unsafe-inline'; "
                                                   "style-src 'unsafe-inline'; connect-src 'self'; "
                                                   "img-src data:; frame-ancestors 'none'")});
        response.headers.append({QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer")});
        return response;
    }
    const bool api =
        segments.size() >= 3 && segments[0] == QStringLiteral("api") && segments[1] == QStringLiteral("v1");
    if (!api) {
        return error(404, QStringLiteral("nothing here; the API is under /api/v1/clocks"));
    }
    if (segments[2] == QStringLiteral("events") && segments.size() == 3) {
        return error(426, QStringLiteral("connect with a WebSocket"));
    }
    if (segments[2] != QStringLiteral("clocks") || segments.size() > 5) {
        return error(404, QStringLiteral("no such resource"));
    }
    if (segments.size() == 3) {
        if (method == "GET") {
            return json(200, QJsonDocument(toJson(m_backend.clocks())));
        }
        if (method == "POST") {
            return addClock(request);
        }
        return methodNotAllowed("GET, POST");
    }
    if (segments.size() == 4) {
        if (method != "GET") {
            return methodNotAllowed("GET");
        }
        const QList<ClockSnapshot> clocks = m_backend.clocks();
        const auto index = findClock(clocks, segments[3]);
        if (!index) {
            return error(404, QStringLiteral("no clock with the id or name \u201C%1\u201D").arg(segments[3]));
        }
        return json(200, QJsonDocument(toJson(clocks.at(*index))));
    }
    return clockAction(request, segments[3], segments[4]);
}

HttpResponse RemoteApi::clockAction(const HttpRequest& request, const QString& clock, const QString& word) {
    const auto action = actionFromPathWord(word);
    if (!action) {
        return error(404, QStringLiteral("no action \u201C%1\u201D").arg(word));
    }
    const bool setter = *action == ClockAction::setCountdown || *action == ClockAction::setTimeUntil ||
                        *action == ClockAction::setCaption;
    if (request.method != (setter ? "PUT" : "POST")) {
        return methodNotAllowed(setter ? "PUT" : "POST");
    }
    ClockCommand command;
    command.action = *action;
    if (auto bad = parseCommandBody(request.body, command)) {
        return error(400, *bad);
    }
    const CommandResult result = runClockCommand(m_backend, clock, command);
    if (result.status != CommandStatus::ok) {
        return error(httpStatus(result.status), result.reason);
    }
    return json(200, result.clock ? QJsonDocument(toJson(*result.clock)) : QJsonDocument(QJsonObject()));
}

HttpResponse RemoteApi::addClock(const HttpRequest& request) {
    QString reason;
    const auto object = bodyObject(request.body, &reason);
    if (!object) {
        return error(400, reason);
    }
    std::optional<QString> name;
    ClockMode mode = ClockMode::clock;
    if (object->contains(QStringLiteral("name"))) {
        const QJsonValue value = object->value(QStringLiteral("name"));
        if (!value.isString() || trimmedClockName(value.toString()).isEmpty()) {
            return error(400, QStringLiteral("name must be a text that is not blank"));
        }
        name = trimmedClockName(value.toString());
        for (const ClockSnapshot& clock : m_backend.clocks()) {
            if (clockNamesEqual(clock.name, *name)) {
                return error(409, QStringLiteral("a clock named \u201C%1\u201D exists already").arg(*name));
            }
        }
    }
    if (object->contains(QStringLiteral("mode"))) {
        const auto parsed = clockModeFromRawValue(object->value(QStringLiteral("mode")).toString());
        if (!parsed) {
            return error(
                400, QStringLiteral("mode must be one of clock, countdown, stopwatch, timecode, timeUntil"));
        }
        mode = *parsed;
    }
    const QUuid id = m_backend.addClock(name, mode);
    for (const ClockSnapshot& clock : m_backend.clocks()) {
        if (clock.id == id) {
            return json(201, QJsonDocument(toJson(clock)));
        }
    }
    return error(500, QStringLiteral("the clock was not added"));
}

} // namespace tavix
