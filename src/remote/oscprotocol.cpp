#include "oscprotocol.h"

#include "remoteclockbackend.h"

#include <QtEndian>

#include <lo/lo.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tavix {

namespace {

constexpr int kMaximumBundleDepth = 8;
constexpr int kMaximumMessagesPerPacket = 256;

template <typename T>
T read(const char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

struct MessageDeleter {
    void operator()(lo_message message) const { lo_message_free(message); }
};
using MessagePtr = std::unique_ptr<std::remove_pointer_t<lo_message>, MessageDeleter>;

struct Parser {
    QList<OscMessage> messages;
    QString error;

    bool fail(const QString& why) {
        error = why;
        return false;
    }

    bool message(QByteArrayView data) {
        if (messages.size() >= kMaximumMessagesPerPacket) {
            return fail(QStringLiteral("too many messages in one packet"));
        }
        // liblo takes a writable buffer.
        QByteArray copy(data.data(), data.size());
        int result = 0;
        MessagePtr decoded(lo_message_deserialise(copy.data(), static_cast<size_t>(copy.size()), &result));
        if (!decoded) {
            return fail(QStringLiteral("malformed message (liblo error %1)").arg(result));
        }
        OscMessage out;
        // The address is the first padded string; lo_message_deserialise has checked its padding.
        out.path = QString::fromUtf8(copy.constData());
        if (!out.path.startsWith(QLatin1Char('/'))) {
            return fail(QStringLiteral("an address starts with \"/\""));
        }
        const char* types = lo_message_get_types(decoded.get());
        lo_arg** argv = lo_message_get_argv(decoded.get());
        const int count = lo_message_get_argc(decoded.get());
        for (int i = 0; i < count; ++i) {
            // Arguments sit on 4-byte boundaries in the packet; lo_arg wants 8, so copy the bytes out.
            const auto* a = reinterpret_cast<const char*>(argv[i]);
            switch (types[i]) {
            case LO_INT32:
                out.args.append(QVariant::fromValue<qint64>(read<int32_t>(a)));
                break;
            case LO_INT64:
                out.args.append(QVariant::fromValue<qint64>(read<int64_t>(a)));
                break;
            case LO_FLOAT:
                out.args.append(static_cast<double>(read<float>(a)));
                break;
            case LO_DOUBLE:
                out.args.append(read<double>(a));
                break;
            case LO_STRING:
            case LO_SYMBOL:
                out.args.append(QString::fromUtf8(a));
                break;
            case LO_TRUE:
                out.args.append(true);
                break;
            case LO_FALSE:
                out.args.append(false);
                break;
            case LO_BLOB:
                out.args.append(QByteArray(a + sizeof(int32_t), std::max<int32_t>(0, read<int32_t>(a))));
                break;
            default:
                out.args.append(QVariant());
                break;
            }
        }
        messages.append(out);
        return true;
    }

    bool packet(QByteArrayView data, int depth) {
        if (!data.startsWith("#bundle")) {
            return message(data);
        }
        if (depth >= kMaximumBundleDepth) {
            return fail(QStringLiteral("bundles nested too deeply"));
        }
        // "#bundle\0", an eight-byte time tag, then elements of a big-endian size and that many bytes.
        if (data.size() < 16 || data[7] != '\0') {
            return fail(QStringLiteral("malformed bundle header"));
        }
        qsizetype at = 16;
        while (at < data.size()) {
            if (data.size() - at < 4) {
                return fail(QStringLiteral("truncated bundle element"));
            }
            const qint32 size = qFromBigEndian<qint32>(data.data() + at);
            at += 4;
            if (size <= 0 || size % 4 != 0 || size > data.size() - at) {
                return fail(QStringLiteral("bundle element of a wrong size"));
            }
            if (!packet(data.sliced(at, size), depth + 1)) {
                return false;
            }
            at += size;
        }
        return true;
    }
};

QString osc(const char* text) {
    return QString::fromLatin1(text);
}

std::optional<double> numberOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Double:
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool() ? 1.0 : 0.0;
    default:
        return std::nullopt;
    }
}

// Out-of-range values become -1 (refused later) rather than an undefined conversion.
std::int64_t wholeNumber(std::optional<double> value) {
    if (!value) {
        return 0;
    }
    if (!std::isfinite(*value) || std::fabs(*value) > 1e9) {
        return -1;
    }
    return static_cast<std::int64_t>(*value);
}

QByteArray errorReply(const QString& reason) {
    return encodeOscMessage(osc("/tavix/error"), {reason});
}

} // namespace

std::optional<QList<OscMessage>> parseOscPacket(QByteArrayView packet, QString* error) {
    Parser parser;
    if (packet.isEmpty() || packet.size() % 4 != 0) {
        parser.fail(QStringLiteral("a packet is a non-empty multiple of four bytes"));
    } else if (parser.packet(packet, 0)) {
        return parser.messages;
    }
    if (error) {
        *error = parser.error;
    }
    return std::nullopt;
}

QByteArray encodeOscMessage(const QString& path, const QVariantList& args) {
    MessagePtr message(lo_message_new());
    for (const QVariant& arg : args) {
        switch (arg.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Int: {
            const qint64 value = arg.toLongLong();
            if (value >= INT32_MIN && value <= INT32_MAX) {
                lo_message_add_int32(message.get(), static_cast<int32_t>(value));
            } else {
                lo_message_add_int64(message.get(), value);
            }
            break;
        }
        case QMetaType::Double:
            lo_message_add_float(message.get(), static_cast<float>(arg.toDouble()));
            break;
        case QMetaType::Bool:
            arg.toBool() ? lo_message_add_true(message.get()) : lo_message_add_false(message.get());
            break;
        default:
            lo_message_add_string(message.get(), arg.toString().toUtf8().constData());
            break;
        }
    }
    const QByteArray address = path.toUtf8();
    size_t size = 0;
    void* bytes = lo_message_serialise(message.get(), address.constData(), nullptr, &size);
    if (!bytes) {
        return {};
    }
    QByteArray out(static_cast<const char*>(bytes), static_cast<qsizetype>(size));
    std::free(bytes);
    return out;
}

OscEndpoint::OscEndpoint(RemoteClockBackend& backend) : m_backend(backend) {}

void OscEndpoint::setPolicy(const AccessPolicy& policy) {
    if (policy.allowOtherComputers != m_policy.allowOtherComputers || policy.token != m_policy.token) {
        m_authenticated.clear();
    }
    m_policy = policy;
}

bool OscEndpoint::isAuthenticated(const QString& sender) const {
    return std::find(m_authenticated.begin(), m_authenticated.end(), sender) != m_authenticated.end();
}

QList<QByteArray> OscEndpoint::handle(QByteArrayView packet, const QString& sender, quint16* replyPort) {
    const auto messages = parseOscPacket(packet);
    if (!messages) {
        // No answer: the sender's address of a stray or forged datagram is not to be trusted.
        ++m_malformed;
        return {};
    }
    QList<QByteArray> replies;
    for (const OscMessage& message : *messages) {
        replies.append(handleMessage(message, sender, replyPort));
    }
    return replies;
}

QList<QByteArray> OscEndpoint::handleMessage(OscMessage message, const QString& sender, quint16* replyPort) {
    if (!message.path.startsWith(osc("/tavix/"))) {
        return {};
    }
    const auto isToken = [this](const QVariant& arg) {
        return arg.typeId() == QMetaType::QString &&
               tokensEqual(arg.toString().toUtf8(), m_policy.token.toUtf8());
    };
    if (message.path == osc("/tavix/auth")) {
        const bool ok = m_policy.allowOtherComputers && !m_policy.token.isEmpty() &&
                        !message.args.isEmpty() && isToken(message.args.first());
        if (ok && !isAuthenticated(sender)) {
            m_authenticated.push_back(sender);
            if (m_authenticated.size() > kRememberedSenders) {
                m_authenticated.pop_front();
            }
        }
        return {encodeOscMessage(message.path, {qint64{ok || !m_policy.allowOtherComputers ? 1 : 0}})};
    }
    if (m_policy.allowOtherComputers) {
        const bool tokenFirst =
            !m_policy.token.isEmpty() && !message.args.isEmpty() && isToken(message.args.first());
        if (tokenFirst) {
            message.args.removeFirst();
        } else if (!isAuthenticated(sender)) {
            return {errorReply(QStringLiteral("this message needs the access token as its first argument, "
                                              "or send /tavix/auth with it first"))};
        }
    }
    if (message.path == osc("/tavix/clocks")) {
        // An optional port asks for the replies there, for tools that cannot listen where they send from.
        if (const auto port = message.args.isEmpty() ? std::nullopt : numberOf(message.args.first());
            port && *port >= 1 && *port <= 65535) {
            *replyPort = static_cast<quint16>(*port);
        }
        QList<QByteArray> replies;
        for (const ClockSnapshot& clock : m_backend.clocks()) {
            replies.append(
                encodeOscMessage(osc("/tavix/clock"),
                                 {uuidText(clock.id), clock.name, rawValue(clock.mode), clock.text,
                                  rawValue(clock.state), qint64{clock.isRunning}, qint64{clock.windowOpen}}));
        }
        return replies;
    }
    const QString prefix = osc("/tavix/clock/");
    if (message.path.startsWith(prefix)) {
        return clockCommand(message.path.mid(prefix.size()), message.args);
    }
    return {errorReply(QStringLiteral("unknown address %1").arg(message.path))};
}

QList<QByteArray> OscEndpoint::clockCommand(const QString& rest, const QVariantList& args) {
    // The action is the last part; everything before it is the clock, so names may hold "/".
    const qsizetype slash = rest.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) {
        return {errorReply(QStringLiteral("use /tavix/clock/{id or name}/{action}"))};
    }
    const QString clock = rest.left(slash);
    const QString word = rest.mid(slash + 1);
    ClockCommand command;
    const auto number = [&](int i) { return i < args.size() ? numberOf(args.at(i)) : std::nullopt; };
    std::optional<QString> bad;
    const auto text = [&](int i) {
        return i < args.size() && args.at(i).typeId() == QMetaType::QString
                   ? std::optional(args.at(i).toString())
                   : std::nullopt;
    };
    if (word == osc("message")) {
        // One text shows as the caption; an empty one takes the caption away.
        command.action = ClockAction::setCaption;
        command.message = text(0);
        if (!command.message) {
            bad = QStringLiteral("message needs a text");
        } else {
            command.caption = command.message->isEmpty() ? CaptionKind::none : CaptionKind::message;
        }
    } else if (word == osc("duration") || word == osc("remaining")) {
        command.action = ClockAction::setCountdown;
        (word == osc("duration") ? command.duration : command.remaining) = number(0);
        if (!number(0)) {
            bad = QStringLiteral("%1 needs a number of seconds").arg(word);
        }
    } else if (const auto action = actionFromPathWord(word)) {
        command.action = *action;
        switch (*action) {
        case ClockAction::nudge:
            if (const auto seconds = number(0)) {
                command.seconds = *seconds;
            } else {
                bad = QStringLiteral("nudge needs a number of seconds");
            }
            break;
        case ClockAction::hold:
            if (const auto on = number(0)) {
                command.hold = *on != 0;
            }
            break;
        case ClockAction::setTimeUntil:
            if (!number(0)) {
                bad = QStringLiteral("timeuntil needs hour, minute and second");
            }
            command.target = {wholeNumber(number(0)), wholeNumber(number(1)), wholeNumber(number(2))};
            break;
        case ClockAction::setCountdown:
            bad = QStringLiteral("use /duration or /remaining");
            break;
        case ClockAction::stage:
            // [on] [screen], either one alone, or nothing to toggle.
            if (const auto on = number(0)) {
                command.stageOn = *on != 0;
                command.screen = text(1);
            } else {
                command.screen = text(0);
            }
            break;
        case ClockAction::setCaption:
            if (const auto kind = text(0)) {
                command.caption = captionKindFromRawValue(*kind);
            }
            if (!command.caption) {
                bad = QStringLiteral("caption needs none, name or message");
            }
            break;
        default:
            break;
        }
    } else {
        bad = QStringLiteral("no action \u201C%1\u201D").arg(word);
    }
    if (bad) {
        return {errorReply(*bad)};
    }
    const CommandResult result = runClockCommand(m_backend, clock, command);
    if (result.status != CommandStatus::ok) {
        return {errorReply(result.reason)};
    }
    return {};
}

} // namespace tavix
