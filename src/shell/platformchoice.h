#pragma once

#include <QByteArray>
#include <QStringList>

#include <optional>

namespace tavix {

/// The Qt platform to ask for. Wayland clients can neither place their own windows nor keep them
/// on top, so when the session offers X11 as well (XWayland) and the user chose no platform, use X11.
/// `platformEnv` is QT_QPA_PLATFORM; `arguments` the command line (a "-platform" there is a choice too).
std::optional<QByteArray> chooseQtPlatform(const QByteArray& platformEnv, const QByteArray& waylandDisplay,
                                           const QByteArray& x11Display, const QStringList& arguments);

} // namespace tavix
