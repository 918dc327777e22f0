#pragma once

#include <string_view>

namespace tavix {

/// How Tavix's windows reach the screen.
enum class SessionKind {
    x11,      ///< an X11 session
    xwayland, ///< X11 windows through XWayland inside a Wayland session
    wayland,  ///< a native Wayland client
    other,    ///< offscreen, VNC, a framebuffer: nothing to promise or to warn about
};

/// What the window system does with the requests a clock window makes.
struct DesktopCapabilities {
    SessionKind kind = SessionKind::other;
    /// "Always on Top" is carried out.
    bool keepsWindowsOnTop = true;
    /// A window opens where the application puts it, so windows come back to their places.
    bool placesWindows = true;
};

/// What the session honours, from the Qt platform in use (QGuiApplication::platformName()),
/// $WAYLAND_DISPLAY and $XDG_SESSION_TYPE. Plain data in, plain data out: no display needed.
/// Wayland lets no client stack itself above others or choose its position; X11 windows do both,
/// also through XWayland, where the compositor's X11 window manager carries the requests out.
DesktopCapabilities detectDesktop(std::string_view platformName, std::string_view waylandDisplay,
                                  std::string_view sessionType);

/// A short English name for logs and the about line: "X11", "XWayland", "Wayland" or "other".
std::string_view sessionKindName(SessionKind kind);

} // namespace tavix
