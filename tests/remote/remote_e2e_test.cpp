// The real build/tavix under a private Xvfb, driven from outside with curl, liblo's oscsend and
// oscdump, a Qt WebSocket client and raw sockets. Every test has its own state folder and ports.
#include "support/appprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QUdpSocket>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <memory>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

constexpr int kDeadlineMs = 30000;

/// A port that nothing listens on now, for TCP and UDP alike.
quint16 freePort() {
    for (;;) {
        QTcpServer tcp;
        tcp.listen(QHostAddress::LocalHost, 0);
        QUdpSocket udp;
        if (udp.bind(QHostAddress::LocalHost, tcp.serverPort())) {
            return tcp.serverPort();
        }
    }
}

struct Reply {
    int status = 0;
    QByteArray body;
    QJsonObject object() const { return QJsonDocument::fromJson(body).object(); }
    QJsonValue operator[](const QString& key) const { return object().value(key); }
};

/// Runs a program to its end (within 20 s) and returns its standard output.
QByteArray runProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    return process.readAllStandardOutput();
}

/// The application with its own ports.
struct Tavix : test::AppProcess {
    quint16 httpPort = freePort();
    quint16 oscPort = freePort();
    QString token;

    explicit Tavix(const QList<ClockModel>& clocks, const QString& accessToken = {}) : token(accessToken) {
        prepare(test::stateOf(clocks, [&](AppSettings& s) {
            s.remoteHttpPort = httpPort;
            s.remoteOscPort = oscPort;
            s.remoteAllowOtherComputers = !accessToken.isEmpty();
            s.remoteAccessToken = accessToken;
        }));
    }

    /// Starts the process and waits until both servers answer.
    bool start() {
        return launch() &&
               test::waitUntil([&] { return curl(u"/api/v1/clocks"_s).status != 0; }, kDeadlineMs) &&
               waitForOsc();
    }
    /// A datagram sent before the OSC socket is bound is lost: ask for the list until it comes.
    bool waitForOsc() const {
        QUdpSocket replies;
        replies.bind(QHostAddress::LocalHost, 0);
        const QString port = QString::number(replies.localPort());
        return test::waitUntil(
            [&] {
                oscsend(token.isEmpty() ? QStringList{u"/tavix/clocks"_s, u"i"_s, port}
                                        : QStringList{u"/tavix/clocks"_s, u"si"_s, token, port});
                return test::waitUntil([&] { return replies.hasPendingDatagrams(); }, 300);
            },
            kDeadlineMs);
    }

    /// curl on `path` with any further curl arguments.
    Reply curl(const QString& path, const QStringList& arguments = {}) const {
        const QString url = u"http://127.0.0.1:%1%2"_s.arg(httpPort).arg(path);
        const QByteArray out = runProgram(
            u"curl"_s, QStringList{u"-s"_s, u"-m"_s, u"10"_s, u"-w"_s, u"\n%{http_code}"_s, url} + arguments);
        const qsizetype newline = out.lastIndexOf('\n');
        return {out.mid(newline + 1).toInt(), out.left(std::max<qsizetype>(newline, 0))};
    }
    Reply send(const char* method, const QString& path, const QByteArray& body = {}) const {
        return curl(path, {u"-X"_s, QString::fromLatin1(method), u"-d"_s, QString::fromUtf8(body)});
    }
    QJsonObject clock(const QString& name) const {
        return curl(u"/api/v1/clocks/"_s + QString::fromLatin1(QUrl::toPercentEncoding(name))).object();
    }
    void oscsend(const QStringList& arguments) const {
        runProgram(u"oscsend"_s, QStringList{u"127.0.0.1"_s, QString::number(oscPort)} + arguments);
    }
};

using test::makeClock;

ClockModel countdown(const char* name, double remaining) {
    ClockModel clock = makeClock(name, ClockMode::countdown);
    clock.countdown->duration = clock.countdown->remaining = remaining;
    return clock;
}

using RemoteEndToEnd = test::AppTest;

} // namespace

// Status codes of every refusal are the unit tests' business; here the ones only the running
// application can give: the byte gate, open windows and the last window.
TEST_F(RemoteEndToEnd, CurlDrivesTheClocksAsTheirButtonsDoAndTheChangesAreSaved) {
    Tavix tavix({countdown("Show Timer", 300), makeClock("Wall", ClockMode::clock),
                 makeClock("Deck A", ClockMode::timecode)});
    ASSERT_TRUE(tavix.start());
    const QJsonArray list = QJsonDocument::fromJson(tavix.curl(u"/api/v1/clocks"_s).body).array();
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list[0].toObject().value(u"text"_s).toString(), u"5:00"_s);
    EXPECT_EQ(list[2].toObject().value(u"text"_s).toString(), u"00:00:00:00"_s);

    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Show%20Timer/start"_s)[u"isRunning"_s], QJsonValue(true));
    // The open window counts: its text moves on by itself.
    ASSERT_TRUE(test::waitUntil([&] { return tavix.clock(u"Show Timer"_s).value(u"text"_s) != u"5:00"_s; },
                                kDeadlineMs));
    const double before = tavix.clock(u"Show Timer"_s).value(u"remaining"_s).toDouble();
    const Reply nudged = tavix.send("POST", u"/api/v1/clocks/Show%20Timer/nudge"_s, "{\"seconds\": 60}");
    EXPECT_GT(nudged[u"remaining"_s].toDouble(), before + 55);
    EXPECT_EQ(tavix.send("PUT", u"/api/v1/clocks/Show%20Timer/countdown"_s, "{\"duration\": 600}").status,
              200);

    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Deck%20A/hold"_s)[u"state"_s].toString(), u"hold"_s);
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Deck%20A/close"_s)[u"windowOpen"_s], QJsonValue(false));
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Deck%20A/hold"_s).status, 409) << "no window, no HOLD";
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Show%20Timer/nudge"_s, QByteArray(100 * 1024, '1')).status,
              413);

    const Reply added =
        tavix.send("POST", u"/api/v1/clocks"_s, "{\"name\": \"Break\", \"mode\": \"stopwatch\"}");
    EXPECT_EQ(std::tuple(added.status, added[u"windowOpen"_s]), std::tuple(201, QJsonValue(true)));
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Break/close"_s).status, 200);
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Wall/close"_s).status, 200);
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Show%20Timer/close"_s).status, 409)
        << "without a tray the last window's close would end Tavix and its remote control";

    ASSERT_TRUE(tavix.stop());
    const QList<ClockModel> saved = tavix.saved().value().clocks;
    ASSERT_EQ(saved.size(), 4);
    const CountdownSettings show = saved[0].countdown.value();
    EXPECT_EQ(std::pair(show.isRunning, show.duration), std::pair(true, 600.0));
    EXPECT_GT(show.remaining, 330) << "the nudge is in the saved state";
    EXPECT_EQ(std::pair(saved[3].name, saved[3].mode), std::pair(u"Break"_s, ClockMode::stopwatch));
}

TEST_F(RemoteEndToEnd, OscsendDrivesClocksByNameAndOscdumpReceivesTheList) {
    Tavix tavix({countdown("Main Stage", 120), makeClock("Laps", ClockMode::stopwatch)});
    ASSERT_TRUE(tavix.start());
    tavix.oscsend({u"/tavix/clock/Main Stage/toggle"_s});
    ASSERT_TRUE(test::waitUntil([&] { return tavix.clock(u"Main Stage"_s).value(u"isRunning"_s).toBool(); },
                                kDeadlineMs));
    tavix.oscsend({u"/tavix/clock/Main Stage/duration"_s, u"f"_s, u"900"_s});
    tavix.oscsend({u"/tavix/clock/Laps/nudge"_s, u"f"_s, u"75"_s});
    ASSERT_TRUE(
        test::waitUntil([&] { return tavix.clock(u"Laps"_s).value(u"text"_s) == u"1:15"_s; }, kDeadlineMs));
    EXPECT_EQ(tavix.clock(u"Main Stage"_s).value(u"duration"_s).toDouble(), 900);

    const QString dumpPort = QString::number(freePort());
    QProcess dump;
    dump.start(u"oscdump"_s, {u"-L"_s, dumpPort});
    ASSERT_TRUE(dump.waitForStarted(10000));
    QByteArray dumped;
    // oscdump needs a moment to bind; ask again until the answer arrives.
    EXPECT_TRUE(test::waitUntil(
        [&] {
            tavix.oscsend({u"/tavix/clocks"_s, u"i"_s, dumpPort});
            test::waitUntil([&] { return dump.bytesAvailable() > 0; }, 500);
            dumped += dump.readAllStandardOutput();
            return dumped.count("/tavix/clock ") >= 2;
        },
        kDeadlineMs));
    dump.kill();
    dump.waitForFinished(5000);
    EXPECT_TRUE(dumped.contains("\"Main Stage\" \"countdown\"")) << dumped.constData();
    EXPECT_TRUE(dumped.contains("\"Laps\" \"stopwatch\" \"1:15\" \"normal\" 0 1")) << dumped.constData();
}

TEST_F(RemoteEndToEnd, WithOtherComputersAllowedEveryRequestNeedsTheTokenWhichIsNeverPrinted) {
    Tavix tavix({countdown("Show", 60)}, u"e2e-token-0123456789"_s);
    const QString token = tavix.token;
    ASSERT_TRUE(tavix.start());
    EXPECT_EQ(tavix.curl(u"/"_s).status, 401);
    EXPECT_EQ(tavix.send("POST", u"/api/v1/clocks/Show/start"_s).status, 401);
    tavix.oscsend({u"/tavix/clock/Show/start"_s, u"s"_s, u"wrong"_s});
    const auto running = [&] {
        return tavix
            .curl(u"/api/v1/clocks/Show"_s, {u"-H"_s, u"Authorization: Bearer "_s + token})[u"isRunning"_s]
            .toBool();
    };
    EXPECT_FALSE(running()) << "nothing changed without the token";
    tavix.oscsend({u"/tavix/clock/Show/start"_s, u"s"_s, token});
    EXPECT_TRUE(test::waitUntil(running, kDeadlineMs));
    EXPECT_EQ(tavix.curl(u"/?access_token="_s + token).status, 200) << "the phone's address";
    ASSERT_TRUE(tavix.stop());
    EXPECT_FALSE(tavix.process.readAllStandardOutput().contains(token.left(8).toUtf8()));
}

// The list and every change reaching a client, while a clock counts, is the web remote test's part,
// through the page in a browser.
TEST_F(RemoteEndToEnd, WebSocketClientsAreCappedAndAPageOfAnotherSiteGetsNothing) {
    Tavix tavix({countdown("Show", 600)});
    ASSERT_TRUE(tavix.start());
    const QUrl events(u"ws://127.0.0.1:%1/api/v1/events"_s.arg(tavix.httpPort));
    QWebSocket foreign;
    QNetworkRequest fromElsewhere(events);
    fromElsewhere.setRawHeader("Origin", "http://evil.example");
    bool foreignReceived = false;
    QObject::connect(&foreign, &QWebSocket::textMessageReceived, &foreign, [&] { foreignReceived = true; });
    foreign.open(fromElsewhere);

    // Up to 64 clients; the next one is turned away.
    std::vector<std::unique_ptr<QWebSocket>> crowd;
    for (int i = 0; i < 65; ++i) {
        crowd.push_back(std::make_unique<QWebSocket>());
        crowd.back()->open(events);
    }
    const auto count = [&](QAbstractSocket::SocketState state) {
        return std::count_if(crowd.begin(), crowd.end(),
                             [state](const auto& c) { return c->state() == state; });
    };
    const auto connected = [&] { return count(QAbstractSocket::ConnectedState); };
    ASSERT_TRUE(test::waitUntil(
        [&] { return connected() >= 64 && connected() + count(QAbstractSocket::UnconnectedState) == 65; },
        kDeadlineMs));
    test::waitUntil([&] { return connected() == 64; }, 3000);
    EXPECT_EQ(connected(), 64);
    EXPECT_NE(foreign.state(), QAbstractSocket::ConnectedState);
    EXPECT_FALSE(foreignReceived) << "a page of another site gets nothing";
    EXPECT_EQ(tavix.curl(u"/api/v1/clocks"_s).status, 200);
}
