#include "remoteoscserver.h"

#include "oscprotocol.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace tavix {

namespace {

// Enough for any message a controller sends; larger datagrams are cut and then refused as malformed.
constexpr qint64 kMaximumDatagramBytes = qint64{64} * 1024;

} // namespace

RemoteOscServer::RemoteOscServer(OscEndpoint& endpoint, QObject* parent)
    : QObject(parent), m_endpoint(endpoint) {}

std::optional<QString> RemoteOscServer::listen(const QList<QHostAddress>& addresses, quint16 port) {
    for (qsizetype i = 0; i < addresses.size(); ++i) {
        auto* socket = new QUdpSocket(this);
        if (!socket->bind(addresses[i], port)) {
            const QString reason = socket->error() == QAbstractSocket::AddressInUseError
                                       ? QStringLiteral("the port is in use by another program")
                                       : socket->errorString();
            delete socket;
            if (i == 0) {
                return reason;
            }
            continue;
        }
        connect(socket, &QUdpSocket::readyRead, this, [this, socket] { readDatagrams(socket); });
    }
    return std::nullopt;
}

void RemoteOscServer::readDatagrams(QUdpSocket* socket) {
    while (socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram(kMaximumDatagramBytes);
        if (!datagram.isValid()) {
            continue;
        }
        const QString sender =
            datagram.senderAddress().toString() + QLatin1Char(':') + QString::number(datagram.senderPort());
        quint16 replyPort = static_cast<quint16>(datagram.senderPort());
        for (const QByteArray& reply : m_endpoint.handle(datagram.data(), sender, &replyPort)) {
            socket->writeDatagram(reply, datagram.senderAddress(), replyPort);
        }
    }
}

} // namespace tavix
