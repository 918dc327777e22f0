#include "platform/desktopsession.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tavix;

TEST(DesktopSession, OnlyNativeWaylandRefusesStackingAndPlacement) {
    struct Case {
        const char* platform;
        const char* waylandDisplay;
        const char* sessionType;
        SessionKind kind;
        bool keepsOnTop, places;
    };
    const Case cases[] = {
        {"xcb", "", "x11", SessionKind::x11, true, true},
        // XWayland: the socket or the session type alone tells a Wayland session.
        {"xcb", "wayland-0", "wayland", SessionKind::xwayland, true, true},
        {"xcb", "wayland-0", "", SessionKind::xwayland, true, true},
        {"xcb", "", "wayland", SessionKind::xwayland, true, true},
        {"wayland", "wayland-0", "wayland", SessionKind::wayland, false, false},
        {"wayland-egl", "wayland-1", "", SessionKind::wayland, false, false},
        // Tests and remote screens: nothing to warn about.
        {"offscreen", "wayland-0", "wayland", SessionKind::other, true, true},
        {"", "", "", SessionKind::other, true, true},
    };
    for (const Case& c : cases) {
        const DesktopCapabilities desktop = detectDesktop(c.platform, c.waylandDisplay, c.sessionType);
        SCOPED_TRACE(std::string(c.platform) + " / " + c.waylandDisplay + " / " + c.sessionType);
        EXPECT_EQ(std::tuple(desktop.kind, desktop.keepsWindowsOnTop, desktop.placesWindows),
                  std::tuple(c.kind, c.keepsOnTop, c.places))
            << sessionKindName(desktop.kind);
    }
}
