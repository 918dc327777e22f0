// The real build/tavix under a private Xvfb (no window manager), looked at from outside with
// xdotool, xwininfo and xprop, with its state folder under a temporary XDG_DATA_HOME.
#include "support/appprocess.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstring>
#include <map>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

/// Runs a command line (words split at spaces) and returns what it printed.
QString run(const QString& commandLine) {
    QStringList words = QProcess::splitCommand(commandLine);
    QProcess process;
    process.start(words.takeFirst(), words);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

/// x, y, width and height of a window on the screen.
QList<int> geometryOf(const QString& window) {
    const QRegularExpression pattern(u"X=(-?\\d+)\\nY=(-?\\d+)\\nWIDTH=(\\d+)\\nHEIGHT=(\\d+)"_s);
    const auto match = pattern.match(run(u"xdotool getwindowgeometry --shell "_s + window));
    return {match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
            match.captured(4).toInt()};
}

/// Sends WM_DELETE_WINDOW, as a window manager's close button does.
void sendDeleteWindow(const QString& window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const auto atom = [&](const char* name) {
        const auto length = static_cast<uint16_t>(std::strlen(name));
        xcb_intern_atom_reply_t* reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, length, name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return result;
    };
    xcb_client_message_event_t event = {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window.toUInt();
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    // A round trip before hanging up: the X server drops requests it has not read yet from a
    // client that has gone, and on a busy machine the close request was among them.
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    xcb_disconnect(connection);
}

/// Closes a window like a user does, with one request: a close must never need a second one.
/// True once the window is no longer viewable.
bool closeWindow(const QString& window) {
    sendDeleteWindow(window);
    return test::waitUntil([&] { return !run(u"xwininfo -id "_s + window).contains(u"IsViewable"); }, 10000);
}

/// The application, and its visible windows by title.
struct Tavix : test::AppProcess {
    void prepare(const QList<ClockModel>& clocks) { AppProcess::prepare(test::stateOf(clocks)); }
    void start() { ASSERT_TRUE(launch()); }
    bool waitForExit() { return process.waitForFinished(10000); }
    std::map<QString, QString> windows() const {
        std::map<QString, QString> result;
        const QString ids =
            run(u"xdotool search --all --onlyvisible --pid %1 --name ."_s.arg(process.processId()));
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            result[run(u"xdotool getwindowname "_s + id).trimmed()] = id;
        }
        return result;
    }
    bool waitForWindows(std::size_t count) {
        return test::waitUntil([&] { return windows().size() == count; }, 10000);
    }
};

ClockModel clock(const char* name, PointValue origin, SizeValue size) {
    ClockModel c = test::makeClock(name);
    c.windowOrigin = origin;
    c.windowSize = size;
    return c;
}

using EndToEnd = test::AppTest;

} // namespace

// Staying above others is the window-manager drill's part, opacity the clock window test's.
TEST_F(EndToEnd, OpensTheSavedClocksInPlace) {
    Tavix tavix;
    ClockModel countdown = clock("Segment \u23F1", {750, 400}, {480, 170});
    countdown.mode = ClockMode::countdown;
    const QList<ClockModel> clocks{clock("Studio", {100, 100}, {600, 200}), countdown};
    tavix.prepare(clocks);
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(2));
    const auto windows = tavix.windows();
    for (const ClockModel& c : clocks) {
        ASSERT_TRUE(windows.count(c.name)) << c.name.toStdString();
        // The stored origin is the bottom-left corner, y upward from the bottom of the 1080-pixel screen.
        const auto [x, y] = c.windowOrigin;
        const auto [width, height] = c.windowSize;
        EXPECT_EQ(geometryOf(windows.at(c.name)),
                  (QList<int>{int(x), int(1080 - y - height), int(width), int(height)}))
            << c.name.toStdString();
    }
    // A signal ends it cleanly; what it saves then is the signal drill's business.
    EXPECT_TRUE(tavix.stop(SIGTERM));
}

TEST_F(EndToEnd, CtrlNAddsAClockSavedAtOnceAndClosingAWindowKeepsItsClock) {
    Tavix tavix;
    tavix.prepare({clock("Clock 1", {100, 100}, {600, 200}), clock("Second", {800, 100}, {500, 200})});
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(2));
    run(u"xdotool windowfocus --sync "_s + tavix.windows().at(u"Clock 1"_s));
    run(u"xdotool key ctrl+n"_s);
    ASSERT_TRUE(tavix.waitForWindows(3));
    EXPECT_TRUE(tavix.windows().count(u"Clock 2"_s));
    ASSERT_TRUE(test::waitUntil([&] { return tavix.saved() && tavix.saved()->clocks.size() == 3; }))
        << "the new clock is saved at once";
    ASSERT_TRUE(closeWindow(tavix.windows().at(u"Second"_s)));
    ASSERT_TRUE(tavix.waitForWindows(2));
    EXPECT_TRUE(tavix.stop(SIGINT));
    const QList<ClockModel> saved = tavix.saved().value().clocks;
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(std::pair(saved[1].name, saved[1].windowOrigin), std::pair(u"Second"_s, PointValue{800, 100}))
        << "closing a window keeps its clock";
    EXPECT_EQ(saved[2].name, u"Clock 2"_s);
}

// How a corrupt file is kept aside is the corrupt-corpus drill's part, for every file of the corpus.
TEST_F(EndToEnd, ClosingTheLastWindowEndsTheApplication) {
    Tavix tavix;
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(1));
    ASSERT_TRUE(closeWindow(tavix.windows().at(u"Clock 1"_s)));
    ASSERT_TRUE(tavix.waitForExit());
    EXPECT_EQ(tavix.saved().value().clocks.at(0).name, u"Clock 1"_s);
}
