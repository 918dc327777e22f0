#include "desktopsession.h"

namespace tavix {

DesktopCapabilities detectDesktop(std::string_view platformName, std::string_view waylandDisplay,
                                  std::string_view sessionType) {
    DesktopCapabilities desktop;
    // Qt names its Wayland plugins "wayland", "wayland-egl", "wayland-xcomposite-glx" and so on.
    if (platformName.starts_with("wayland")) {
        desktop.kind = SessionKind::wayland;
        desktop.keepsWindowsOnTop = false;
        desktop.placesWindows = false;
    } else if (platformName == "xcb") {
        // A Wayland session sets both the socket name and, through the login manager, the type;
        // either alone is enough (a nested X server in a Wayland session still runs on XWayland).
        const bool waylandSession = !waylandDisplay.empty() || sessionType == "wayland";
        desktop.kind = waylandSession ? SessionKind::xwayland : SessionKind::x11;
    }
    return desktop;
}

std::string_view sessionKindName(SessionKind kind) {
    switch (kind) {
    case SessionKind::x11:
        return "X11";
    case SessionKind::xwayland:
        return "XWayland";
    case SessionKind::wayland:
        return "Wayland";
    case SessionKind::other:
        break;
    }
    return "other";
}

} // namespace tavix
