#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>

#include <optional>

class QUdpSocket;

namespace tavix {

class OscEndpoint;

/// The OSC server: UDP sockets whose datagrams go to the OscEndpoint on the main thread, and
/// whose replies go back to each sender. The sockets are Qt's, so that they bind to the loopback
/// address (liblo's own server binds every interface) and share the event loop; liblo does the
/// OSC decoding and encoding.
/// Main thread only.
class RemoteOscServer : public QObject {
    Q_OBJECT

public:
    RemoteOscServer(OscEndpoint& endpoint, QObject* parent = nullptr);

    /// Binds `addresses` at `port`; the first must work, the others may fail. Returns the reason
    /// when the first one fails.
    std::optional<QString> listen(const QList<QHostAddress>& addresses, quint16 port);

private:
    void readDatagrams(QUdpSocket* socket);

    OscEndpoint& m_endpoint;
};

} // namespace tavix
