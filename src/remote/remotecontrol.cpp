#include "remotecontrol.h"

#include "model/appstate.h"
#include "platform/diagnostics.h"
#include "platform/randomtoken.h"
#include "remoteclockbackend.h"
#include "remotehttpserver.h"
#include "remoteoscserver.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QUrl>
#include <QWebSocket>

#include <algorithm>

namespace tavix {

namespace {

std::optional<quint16> validPort(std::int64_t port) {
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<quint16>(port);
}

QList<QHostAddress> listenAddresses(bool allowOtherComputers) {
    if (allowOtherComputers) {
        return {QHostAddress(QHostAddress::Any)};
    }
    // Both loopbacks: "localhost" resolves to ::1 first for some clients.
    return {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)};
}

} // namespace

QString webRemoteUrl(bool allowOtherComputers, const QString& localAddress, quint16 port,
                     const QString& token) {
    if (!allowOtherComputers) {
        return QStringLiteral("http://127.0.0.1:%1/").arg(port);
    }
    const QString host = localAddress.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + localAddress + QLatin1Char(']')
                             : localAddress;
    return QStringLiteral("http://%1:%2/?access_token=%3")
        .arg(host)
        .arg(port)
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(token)));
}

QString thisComputersAddress() {
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                return entry.ip().toString();
            }
        }
    }
    return QHostInfo::localHostName();
}

RemoteControl::RemoteControl(AppState& state, RemoteClockBackend& backend, QObject* parent)
    : QObject(parent), m_state(state), m_backend(backend), m_api(backend), m_osc(backend) {
    m_live.setInterval(kLiveIntervalMs);
    m_live.setTimerType(Qt::PreciseTimer);
    connect(&m_live, &QTimer::timeout, this, &RemoteControl::broadcast);
    connect(&m_backend, &RemoteClockBackend::changed, this, &RemoteControl::scheduleBroadcast);
}

RemoteControl::~RemoteControl() = default;

void RemoteControl::start() {
    connect(&m_state, &AppState::settingsChanged, this, &RemoteControl::applySettings, Qt::UniqueConnection);
    applySettings();
}

int RemoteControl::webSocketClients() const {
    return m_httpServer ? m_httpServer->clientCount() : 0;
}

void RemoteControl::applySettings() {
    if (m_applying) {
        return;
    }
    const AppSettings& settings = m_state.settings();
    if (settings.remoteControlEnabled && settings.remoteAllowOtherComputers &&
        settings.remoteAccessToken.isEmpty()) {
        // Other computers need a token before they can be let in: make one and keep it.
        m_applying = true;
        AppSettings withToken = settings;
        withToken.remoteAccessToken = randomAccessToken();
        m_state.setSettings(withToken);
        m_applying = false;
    }
    const AppSettings& current = m_state.settings();
    const Binding binding{current.remoteControlEnabled, current.remoteAllowOtherComputers,
                          current.remoteHttpPort, current.remoteOscPort, current.remoteAccessToken};
    if (m_bound && *m_bound == binding) {
        return;
    }
    rebind(binding);
}

void RemoteControl::rebind(const Binding& binding) {
    m_bound = binding;
    // Clients that came in under the old rules go; they reconnect under the new ones.
    m_live.stop();
    m_httpServer.reset();
    m_oscServer.reset();
    const AccessPolicy policy{binding.allowOtherComputers, binding.token};
    m_api.setPolicy(policy);
    m_osc.setPolicy(policy);

    Status status;
    status.enabled = binding.enabled;
    status.allowOtherComputers = binding.allowOtherComputers;
    status.httpPort = validPort(binding.httpPort).value_or(0);
    status.oscPort = validPort(binding.oscPort).value_or(0);
    QStringList problems;
    if (binding.enabled) {
        const QList<QHostAddress> addresses = listenAddresses(binding.allowOtherComputers);
        const QString shownAddress = addresses.first().toString();
        const auto report = [&](const char* what, std::int64_t port, const QString& reason) {
            printDiagnostic(
                QStringLiteral("\u26A0\uFE0F RemoteControl: cannot listen for %1 on %2 port %3: %4")
                    .arg(QLatin1String(what), shownAddress)
                    .arg(port)
                    .arg(reason));
            problems.append(QStringLiteral("%1 port %2: %3").arg(QLatin1String(what)).arg(port).arg(reason));
        };
        if (const auto port = validPort(binding.httpPort)) {
            auto server = std::make_unique<RemoteHttpServer>(m_api);
            if (const auto failed = server->listen(addresses, *port)) {
                report("HTTP", *port, *failed);
            } else {
                connect(server.get(), &RemoteHttpServer::clientConnected, this, [this](QWebSocket* client) {
                    client->sendTextMessage(QString::fromUtf8(RemoteApi::clocksMessage(m_backend.clocks())));
                    scheduleBroadcast();
                });
                m_httpServer = std::move(server);
                status.httpListening = true;
            }
        } else {
            report("HTTP", binding.httpPort, QStringLiteral("not a port number (1 to 65535)"));
        }
        if (const auto port = validPort(binding.oscPort)) {
            auto server = std::make_unique<RemoteOscServer>(m_osc);
            if (const auto failed = server->listen(addresses, *port)) {
                report("OSC", *port, *failed);
            } else {
                m_oscServer = std::move(server);
                status.oscListening = true;
            }
        } else {
            report("OSC", binding.oscPort, QStringLiteral("not a port number (1 to 65535)"));
        }
    }
    status.problem = problems.join(QLatin1Char('\n'));
    status.url = webRemoteUrl(binding.allowOtherComputers,
                              binding.allowOtherComputers ? thisComputersAddress() : QString(),
                              status.httpPort, binding.token);
    m_status = status;
    Q_EMIT statusChanged();
}

void RemoteControl::scheduleBroadcast() {
    if (m_broadcastPending || webSocketClients() == 0) {
        return;
    }
    // A burst of changes in one turn of the event loop goes out as one message.
    m_broadcastPending = true;
    QMetaObject::invokeMethod(this, &RemoteControl::broadcast, Qt::QueuedConnection);
}

void RemoteControl::broadcast() {
    m_broadcastPending = false;
    if (webSocketClients() == 0) {
        m_live.stop();
        return;
    }
    const QList<ClockSnapshot> clocks = m_backend.clocks();
    m_httpServer->broadcast(RemoteApi::clocksMessage(clocks));
    const bool live = std::any_of(clocks.begin(), clocks.end(), changesByItself);
    if (live && !m_live.isActive()) {
        m_live.start();
    } else if (!live) {
        m_live.stop();
    }
}

} // namespace tavix
