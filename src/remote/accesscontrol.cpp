#include "accesscontrol.h"

#include <QCryptographicHash>
#include <QHostAddress>

namespace tavix {

bool tokensEqual(QByteArrayView a, QByteArrayView b) {
    // Comparing digests keeps the length of the secret out of the timing as well.
    const QByteArray da = QCryptographicHash::hash(a, QCryptographicHash::Sha256);
    const QByteArray db = QCryptographicHash::hash(b, QCryptographicHash::Sha256);
    unsigned char difference = 0;
    for (qsizetype i = 0; i < da.size(); ++i) {
        difference |= static_cast<unsigned char>(da[i] ^ db[i]);
    }
    return difference == 0;
}

QString maskedToken(const QString& token) {
    return token.left(4) + QChar(0x2026);
}

std::optional<QByteArray> headerValue(const HttpHeaders& headers, QByteArrayView name) {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value.trimmed();
        }
    }
    return std::nullopt;
}

std::optional<QByteArray> bearerToken(const HttpHeaders& headers) {
    const auto value = headerValue(headers, "Authorization");
    if (!value || value->size() < 7 || value->left(7).compare("Bearer ", Qt::CaseInsensitive) != 0) {
        return std::nullopt;
    }
    return value->mid(7).trimmed();
}

namespace {

/// The host part of a Host header value: "name", "name:port", "[v6]" or "[v6]:port".
QByteArray hostName(const QByteArray& host) {
    if (host.startsWith('[')) {
        const qsizetype end = host.indexOf(']');
        return end < 0 ? QByteArray() : host.mid(1, end - 1);
    }
    const qsizetype colon = host.indexOf(':');
    return colon < 0 ? host : host.left(colon);
}

} // namespace

bool hostAllowed(const std::optional<QByteArray>& host, bool allowOtherComputers) {
    if (!host || host->isEmpty()) {
        return false;
    }
    if (allowOtherComputers) {
        return true;
    }
    const QByteArray name = hostName(*host).toLower();
    if (name == "localhost") {
        return true;
    }
    const QHostAddress address(QString::fromLatin1(name));
    return !address.isNull() && address.isLoopback();
}

bool originAllowed(const std::optional<QByteArray>& origin, const std::optional<QByteArray>& host) {
    if (!origin) {
        return true;
    }
    if (!host) {
        return false;
    }
    return origin->compare(QByteArray("http://") + *host, Qt::CaseInsensitive) == 0;
}

bool authorized(const AccessPolicy& policy, const std::optional<QByteArray>& presentedToken) {
    if (!policy.allowOtherComputers) {
        return true;
    }
    // An empty token never matches: other computers stay out until one has been made.
    if (policy.token.isEmpty() || !presentedToken) {
        return false;
    }
    return tokensEqual(*presentedToken, policy.token.toUtf8());
}

} // namespace tavix
