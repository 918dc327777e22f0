#pragma once

#include "accesscontrol.h"
#include "clockcommand.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QVariant>

#include <deque>
#include <optional>

namespace tavix {

class RemoteClockBackend;

/// One OSC message: its address and its arguments as QVariants (numbers as qint64 or double,
/// strings and symbols as QString, T and F as bool, blobs as QByteArray, nil as an invalid QVariant).
struct OscMessage {
    QString path;
    QVariantList args;
    bool operator==(const OscMessage&) const = default;
};

/// The messages of one UDP packet, a message or a (nested) bundle, decoded by liblo. A packet that
/// is malformed anywhere is refused as a whole.
std::optional<QList<OscMessage>> parseOscPacket(QByteArrayView packet, QString* error = nullptr);

/// One message in OSC wire form; arguments as parseOscPacket gives them (qint64 goes as int32
/// when it fits, bool as T/F).
QByteArray encodeOscMessage(const QString& path, const QVariantList& args);

/// The OSC interface, free of sockets: authenticates senders, turns messages under /tavix into
/// commands and words the replies.
///   /tavix/clock/{id or name}/{start|pause|toggle|reset|open|close}
///   /tavix/clock/{id or name}/hold [on]        (no argument toggles)
///   /tavix/clock/{id or name}/nudge seconds
///   /tavix/clock/{id or name}/duration seconds
///   /tavix/clock/{id or name}/remaining seconds
///   /tavix/clock/{id or name}/timeuntil hour [minute [second]]
///   /tavix/clocks [reply port]                 replies one /tavix/clock message per clock:
///                                              id, name, mode, text, state, isRunning, windowOpen
///   /tavix/auth token                          replies /tavix/auth 1 or 0
/// With other computers allowed, a message passes when its first argument is the token (which is
/// then dropped) or when its sender (address and port) has sent the right /tavix/auth before.
/// Main thread only.
class OscEndpoint {
public:
    explicit OscEndpoint(RemoteClockBackend& backend);

    /// A new policy forgets the senders that had authenticated.
    void setPolicy(const AccessPolicy& policy);

    /// Handles one datagram from `sender` ("address:port"); returns the datagrams to send back, to
    /// the sender's port unless `replyPort` was set to another one.
    QList<QByteArray> handle(QByteArrayView packet, const QString& sender, quint16* replyPort);

    /// Packets refused as malformed so far.
    int malformedPackets() const { return m_malformed; }

    static constexpr int kRememberedSenders = 256;

private:
    QList<QByteArray> handleMessage(OscMessage message, const QString& sender, quint16* replyPort);
    QList<QByteArray> clockCommand(const QString& rest, const QVariantList& args);
    bool isAuthenticated(const QString& sender) const;

    RemoteClockBackend& m_backend;
    AccessPolicy m_policy;
    std::deque<QString> m_authenticated;
    int m_malformed = 0;
};

} // namespace tavix
