// The real build/tavix under a private Xvfb (no window manager), looked at from outside with
// xdotool, xwininfo and xprop, with its state folder under a temporary XDG_DATA_HOME.
#include "model/statecodec.h"
#include "model/statefile.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstring>
#include <map>

using namespace tavix;

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Geometry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.x << ',' << g.y << ' ' << g.width << 'x' << g.height;
}

Geometry geometryOf(const QString& window) {
    const QString info = run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
    auto number = [&](const char* label) {
        const QRegularExpression pattern(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)"));
        return pattern.match(info).captured(1).toInt();
    };
    return {number("Absolute upper-left X"), number("Absolute upper-left Y"), number("Width"),
            number("Height")};
}

/// Sends WM_DELETE_WINDOW, as a window manager's close button does.
void sendDeleteWindow(const QString& window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    ASSERT_FALSE(xcb_connection_has_error(connection));
    auto atom = [&](const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
            nullptr);
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
    xcb_flush(connection);
    xcb_disconnect(connection);
}

bool isViewable(const QString& window) {
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window})
        .contains(QStringLiteral("IsViewable"));
}

/// Closes a window like a user does, clicking again if the first click goes unnoticed: a request
/// that arrives in the first moments after the window is mapped can be lost by the toolkit.
void closeWindow(const QString& window) {
    for (int attempt = 0; attempt < 10 && isViewable(window); ++attempt) {
        sendDeleteWindow(window);
        test::waitUntil([&] { return !isViewable(window); }, 500);
    }
}

class Tavix {
public:
    Tavix() { QDir().mkpath(stateDirectory()); }
    ~Tavix() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString stateDirectory() const { return m_data.path() + QStringLiteral("/Tavix"); }
    QString stateFile() const { return stateDirectory() + QStringLiteral("/tavix.plist"); }

    void prepare(const QList<ClockModel>& clocks) {
        PersistenceContainer state;
        state.clocks = clocks;
        test::writeFile(stateFile(), *encodeStateFile(state, nullptr));
    }
    std::optional<PersistenceContainer> saved() const {
        return decodeStateFile(test::readFile(stateFile()), nullptr);
    }

    void start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_data.path());
        m_process.setProcessEnvironment(env);
        m_process.start(QString::fromLocal8Bit(qgetenv("TAVIX_BINARY")), {});
        ASSERT_TRUE(m_process.waitForStarted(10000));
    }
    int stop(int signalNumber) {
        ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
        EXPECT_TRUE(m_process.waitForFinished(10000));
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    bool waitForExit() { return m_process.waitForFinished(10000); }
    QString output() { return QString::fromUtf8(m_process.readAllStandardOutput()); }

    /// Visible top-level windows by title.
    std::map<QString, QString> windows() const {
        std::map<QString, QString> result;
        const QString ids =
            run(QStringLiteral("xdotool"),
                {QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                 QStringLiteral("--pid"), QString::number(m_process.processId()), QStringLiteral("--name"),
                 QStringLiteral(".")});
        for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            result[run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), id}).trimmed()] = id;
        }
        return result;
    }
    bool waitForWindows(std::size_t count) {
        return test::waitUntil([&] { return windows().size() == count; }, 10000);
    }

private:
    QTemporaryDir m_data;
    QProcess m_process;
};

ClockModel clock(const char* name, PointValue origin, SizeValue size) {
    ClockModel c = ClockModel::makeNew(QUuid::createUuid(), QString::fromUtf8(name), AppSettings{});
    c.windowOrigin = origin;
    c.windowSize = size;
    return c;
}

// The stored origin is the bottom-left corner, y upward from the bottom of the 1920x1080 screen.
Geometry onScreen(PointValue origin, SizeValue size) {
    return {int(origin.x), int(1080 - origin.y - size.height), int(size.width), int(size.height)};
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("TAVIX_BINARY").isEmpty() || qgetenv("DISPLAY").isEmpty()) {
            GTEST_SKIP() << "needs TAVIX_BINARY and an X display (run through with-xvfb.sh)";
        }
    }
};

} // namespace

TEST_F(EndToEnd, OpensTheSavedClocksInPlaceAndSavesARunningCountdownOnSigterm) {
    Tavix tavix;
    ClockModel wall = clock("Studio", {100, 100}, {600, 200});
    ClockModel countdown = clock("Segment \u23F1", {750, 400}, {480, 170});
    countdown.mode = ClockMode::countdown;
    countdown.countdown->remaining = 100;
    countdown.countdown->isRunning = true;
    ClockModel floating = clock("Floating", {1300, 700}, {400, 160});
    floating.alwaysOnTop = true;
    floating.opacity = 0.5;
    tavix.prepare({wall, countdown, floating});
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(3));
    const auto windows = tavix.windows();
    for (const ClockModel& c : {wall, countdown, floating}) {
        ASSERT_TRUE(windows.count(c.name)) << c.name.toStdString();
        EXPECT_EQ(geometryOf(windows.at(c.name)), onScreen(c.windowOrigin, c.windowSize))
            << c.name.toStdString();
    }
    const QString floatingProps =
        run(QStringLiteral("xprop"), {QStringLiteral("-id"), windows.at(floating.name)});
    EXPECT_TRUE(floatingProps.contains(QStringLiteral("_NET_WM_STATE_ABOVE")));
    const QRegularExpression opacity(QStringLiteral("_NET_WM_WINDOW_OPACITY\\(CARDINAL\\) = (\\d+)"));
    EXPECT_NEAR(opacity.match(floatingProps).captured(1).toDouble() / 0xFFFFFFFF, 0.5, 1e-6)
        << floatingProps.toStdString();
    const QString wallProps = run(QStringLiteral("xprop"), {QStringLiteral("-id"), windows.at(wall.name)});
    EXPECT_FALSE(wallProps.contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

    QThread::msleep(2500);
    EXPECT_EQ(tavix.stop(SIGTERM), 0);
    const auto saved = tavix.saved();
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->clocks.size(), 3);
    const CountdownSettings after = *saved->clocks.at(1).countdown;
    EXPECT_TRUE(after.isRunning);
    EXPECT_LT(after.remaining, 98.5) << "the countdown ran on from its saved value";
    EXPECT_GT(after.remaining, 90.0);
    EXPECT_EQ(saved->clocks.at(0).windowOrigin, wall.windowOrigin) << "frames are kept as they were";
    EXPECT_EQ(saved->clocks.at(2).windowSize, floating.windowSize);
}

TEST_F(EndToEnd, CtrlNAddsAClockSavedAtOnceAndClosingAWindowKeepsItsClock) {
    Tavix tavix;
    tavix.prepare({clock("Clock 1", {100, 100}, {600, 200}), clock("Second", {800, 100}, {500, 200})});
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(2));
    const QString first = tavix.windows().at(QStringLiteral("Clock 1"));
    run(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), first});
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+n")});
    ASSERT_TRUE(tavix.waitForWindows(3));
    EXPECT_TRUE(tavix.windows().count(QStringLiteral("Clock 2")));
    ASSERT_TRUE(test::waitUntil([&] { return tavix.saved() && tavix.saved()->clocks.size() == 3; }, 5000))
        << "the new clock is saved at once";

    closeWindow(tavix.windows().at(QStringLiteral("Second")));
    ASSERT_TRUE(tavix.waitForWindows(2));
    EXPECT_FALSE(tavix.windows().count(QStringLiteral("Second")));
    EXPECT_EQ(tavix.stop(SIGINT), 0);
    const auto saved = tavix.saved();
    ASSERT_TRUE(saved);
    QStringList names;
    for (const ClockModel& c : saved->clocks) {
        names.append(c.name);
    }
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("Clock 1"), QStringLiteral("Second"), QStringLiteral("Clock 2")}));
    EXPECT_EQ(saved->clocks.at(1).windowOrigin, (PointValue{800, 100}));
}

TEST_F(EndToEnd, ClosingTheLastWindowEndsTheApplicationAndSaves) {
    Tavix tavix;
    tavix.prepare({clock("Only", {300, 300}, {500, 180})});
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(1));
    closeWindow(tavix.windows().at(QStringLiteral("Only")));
    ASSERT_TRUE(tavix.waitForExit()) << tavix.output().toStdString();
    const auto saved = tavix.saved();
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->clocks.size(), 1);
    EXPECT_EQ(saved->clocks.at(0).windowOrigin, (PointValue{300, 300}));
}

TEST_F(EndToEnd, ACorruptFileIsKeptAsideAndClockOneStarts) {
    Tavix tavix;
    const QByteArray junk("<?xml version=\"1.0\"?><plist><dict><key>clocks</key><string>oops");
    test::writeFile(tavix.stateFile(), junk);
    tavix.start();
    ASSERT_TRUE(tavix.waitForWindows(1));
    EXPECT_TRUE(tavix.windows().count(QStringLiteral("Clock 1")));
    EXPECT_EQ(tavix.stop(SIGHUP), 0);
    const QStringList kept =
        QDir(tavix.stateDirectory()).entryList({QStringLiteral("tavix-corrupt-*.plist")}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(test::readFile(tavix.stateDirectory() + QLatin1Char('/') + kept.first()), junk);
    EXPECT_TRUE(tavix.output().contains(QStringLiteral("\u26A0\uFE0F")));
    const auto saved = tavix.saved();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->clocks.at(0).name, QStringLiteral("Clock 1"));
}
