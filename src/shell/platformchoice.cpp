#include "platformchoice.h"

namespace tavix {

std::optional<QByteArray> chooseQtPlatform(const QByteArray& platformEnv, const QByteArray& waylandDisplay,
                                           const QByteArray& x11Display, const QStringList& arguments) {
    if (!platformEnv.isEmpty() || arguments.contains(QStringLiteral("-platform")) ||
        arguments.contains(QStringLiteral("--platform"))) {
        return std::nullopt;
    }
    if (!waylandDisplay.isEmpty() && !x11Display.isEmpty()) {
        return QByteArray("xcb");
    }
    return std::nullopt;
}

} // namespace tavix
