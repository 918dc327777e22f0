#include "platform/desktopsession.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tavix;

TEST(DesktopSession, OnlyNativeWaylandRefusesStackingAndPlacement) {
    // Qt platform, WAYLAND_DISPLAY, XDG_SESSION_TYPE, the session, whether it keeps windows on top and
    // places them.
    const std::tuple<const char*, const char*, const char*, SessionKind, bool, bool> cases[] = {
        {"xcb", "", "x11", SessionKind::x11, true, true},
        // XWayland: the socket or the session type alone tells a Wayland session.
        {"xcb", "wayland-0", "wayland", SessionKind::xwayland, true, true},
        {"xcb", "wayland-0", "", SessionKind::xwayland, true, true},
        {"xcb", "", "wayland", SessionKind::xwayland, true, true},
        {"wayland", "wayland-0", "wayland", SessionKind::wayland, false, false},
        {"wayland-egl", "wayland-1", "", SessionKind::wayland, false, false},
        // Tests and remote screens: nothing to warn about.
        {"offscreen", "wayland-0", "wayland", SessionKind::other, true, true},
        {"", "", "", SessionKind::other, true, true}};
    for (const auto& [platform, waylandDisplay, sessionType, kind, keepsOnTop, places] : cases) {
        const DesktopCapabilities desktop = detectDesktop(platform, waylandDisplay, sessionType);
        SCOPED_TRACE(std::string(platform) + " / " + waylandDisplay + " / " + sessionType);
        EXPECT_EQ(std::tuple(desktop.kind, desktop.keepsWindowsOnTop, desktop.placesWindows),
                  std::tuple(kind, keepsOnTop, places))
            << sessionKindName(desktop.kind);
    }
}
