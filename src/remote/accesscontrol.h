#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace tavix {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

/// Who may use the remote interfaces.
struct AccessPolicy {
    /// Listening on every interface: every request must then carry the token.
    bool allowOtherComputers = false;
    QString token;
};

/// Equal tokens, compared in time that depends on neither their contents nor their lengths.
bool tokensEqual(QByteArrayView a, QByteArrayView b);

/// The first four characters and an ellipsis: what may be printed or shown of a token.
QString maskedToken(const QString& token);

/// The first value of a header (name compared without regard to case), or none.
std::optional<QByteArray> headerValue(const HttpHeaders& headers, QByteArrayView name);

/// The token of an "Authorization: Bearer …" header, or none.
std::optional<QByteArray> bearerToken(const HttpHeaders& headers);

/// Loopback only: the Host header must name this machine by a loopback name, so that a page whose
/// name was made to resolve to 127.0.0.1 (DNS rebinding) is refused. A missing Host is refused too.
bool hostAllowed(const std::optional<QByteArray>& host, bool allowOtherComputers);

/// A browser says where a page came from: only a page served by Tavix itself (same scheme, host
/// and port as the request's Host) may act. Clients that send no Origin (curl, show controllers)
/// pass.
bool originAllowed(const std::optional<QByteArray>& origin, const std::optional<QByteArray>& host);

/// The request may pass when the policy needs no token or it carries the right one.
bool authorized(const AccessPolicy& policy, const std::optional<QByteArray>& presentedToken);

} // namespace tavix
