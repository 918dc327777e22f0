// The real build/tavix under a private Xvfb, driven from outside with curl, liblo's oscsend and
// oscdump, a Qt WebSocket client and raw sockets. Every test has its own state folder and ports.
#include "model/statecodec.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace tavix;

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
    QJsonArray array() const { return QJsonDocument::fromJson(body).array(); }
};

/// Runs a program to its end (within 20 s) and returns its standard output.
QByteArray runProgram(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(20000);
    return process.readAllStandardOutput();
}

/// The application on a fresh XDG_DATA_HOME with its own ports.
struct Tavix {
    QTemporaryDir data;
    QProcess process;
    quint16 httpPort = freePort();
    quint16 oscPort = freePort();
    QString token;

    explicit Tavix(const QList<ClockModel>& clocks, bool allowOthers = false, const QString& accessToken = {})
        : token(accessToken) {
        QDir().mkpath(data.path() + QStringLiteral("/Tavix"));
        PersistenceContainer state;
        state.clocks = clocks;
        state.settings.remoteHttpPort = httpPort;
        state.settings.remoteOscPort = oscPort;
        state.settings.remoteAllowOtherComputers = allowOthers;
        state.settings.remoteAccessToken = accessToken;
        test::writeFile(stateFile(), *encodeStateFile(state, nullptr));
    }
    ~Tavix() {
        process.kill();
        process.waitForFinished(5000);
    }
    QString stateFile() const { return data.path() + QStringLiteral("/Tavix/tavix.plist"); }

    void launch() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data.path());
        process.setProcessEnvironment(env);
        process.start(QString::fromLocal8Bit(qgetenv("TAVIX_BINARY")), {});
    }
    /// Starts the process and waits until both servers answer.
    bool start() {
        launch();
        return process.waitForStarted(10000) &&
               test::waitUntil([&] { return curl({QStringLiteral("/api/v1/clocks")}).status != 0; },
                               kDeadlineMs) &&
               waitForOsc();
    }
    /// A datagram sent before the OSC socket is bound is lost: ask for the list until it comes.
    bool waitForOsc() const {
        QUdpSocket replies;
        replies.bind(QHostAddress::LocalHost, 0);
        return test::waitUntil(
            [&] {
                const QString port = QString::number(replies.localPort());
                oscsend(
                    token.isEmpty()
                        ? QStringList{QStringLiteral("/tavix/clocks"), QStringLiteral("i"), port}
                        : QStringList{QStringLiteral("/tavix/clocks"), QStringLiteral("si"), token, port});
                return test::waitUntil([&] { return replies.hasPendingDatagrams(); }, 300);
            },
            kDeadlineMs);
    }
    bool stop() {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        return process.waitForFinished(kDeadlineMs) && process.exitCode() == 0;
    }

    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(httpPort).arg(path);
    }

    /// curl with `path` first and any further curl arguments after it.
    Reply curl(QStringList arguments) const {
        const QString path = arguments.takeFirst();
        const QByteArray out =
            runProgram(QStringLiteral("curl"),
                       QStringList{QStringLiteral("-s"), QStringLiteral("-m"), QStringLiteral("10"),
                                   QStringLiteral("-w"), QStringLiteral("\n%{http_code}"), url(path)} +
                           arguments);
        const qsizetype newline = out.lastIndexOf('\n');
        return {out.mid(newline + 1).toInt(), out.left(std::max<qsizetype>(newline, 0))};
    }
    Reply post(const QString& path, const QByteArray& body = {}) const {
        return curl({path, QStringLiteral("-X"), QStringLiteral("POST"), QStringLiteral("-d"),
                     QString::fromUtf8(body)});
    }
    QJsonObject clock(const QString& name) const {
        return curl({QStringLiteral("/api/v1/clocks/") + QString::fromLatin1(QUrl::toPercentEncoding(name))})
            .object();
    }
    void oscsend(const QStringList& arguments) const {
        runProgram(QStringLiteral("oscsend"),
                   QStringList{QStringLiteral("127.0.0.1"), QString::number(oscPort)} + arguments);
    }
};

ClockModel clockNamed(const char* name, ClockMode mode) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QString::fromUtf8(name), AppSettings{});
    clock.mode = mode;
    return clock;
}

ClockModel countdown(const char* name, double remaining) {
    ClockModel clock = clockNamed(name, ClockMode::countdown);
    clock.countdown->duration = remaining;
    clock.countdown->remaining = remaining;
    return clock;
}

class RemoteEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        if (qgetenv("TAVIX_BINARY").isEmpty() || qgetenv("DISPLAY").isEmpty()) {
            GTEST_SKIP() << "needs TAVIX_BINARY and an X display (run through with-xvfb.sh)";
        }
    }
};

} // namespace

TEST_F(RemoteEndToEnd, CurlDrivesTheClocksAsTheirButtonsDoAndTheChangesAreSaved) {
    Tavix tavix({countdown("Show Timer", 300), clockNamed("Wall", ClockMode::clock),
                 clockNamed("Deck A", ClockMode::timecode)});
    ASSERT_TRUE(tavix.start());
    const Reply list = tavix.curl({QStringLiteral("/api/v1/clocks")});
    ASSERT_EQ(list.status, 200);
    ASSERT_EQ(list.array().size(), 3);
    EXPECT_EQ(list.array()[0].toObject().value(QStringLiteral("text")).toString(), QStringLiteral("5:00"));
    EXPECT_EQ(list.array()[2].toObject().value(QStringLiteral("text")).toString(),
              QStringLiteral("00:00:00:00"));

    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Show%20Timer/start"))
                  .object()
                  .value(QStringLiteral("isRunning")),
              QJsonValue(true));
    // The open window counts: its text moves on by itself.
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return tavix.clock(QStringLiteral("Show Timer")).value(QStringLiteral("text")) !=
                   QStringLiteral("5:00");
        },
        kDeadlineMs));
    const double before =
        tavix.clock(QStringLiteral("Show Timer")).value(QStringLiteral("remaining")).toDouble();
    const Reply nudged = tavix.post(QStringLiteral("/api/v1/clocks/Show%20Timer/nudge"), "{\"seconds\": 60}");
    EXPECT_GT(nudged.object().value(QStringLiteral("remaining")).toDouble(), before + 55);
    EXPECT_EQ(tavix
                  .curl({QStringLiteral("/api/v1/clocks/Show%20Timer/countdown"), QStringLiteral("-X"),
                         QStringLiteral("PUT"), QStringLiteral("-d"), QStringLiteral("{\"duration\": 600}")})
                  .status,
              200);

    const Reply held = tavix.post(QStringLiteral("/api/v1/clocks/Deck%20A/hold"));
    EXPECT_EQ(held.object().value(QStringLiteral("state")).toString(), QStringLiteral("hold"));
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Deck%20A/close"))
                  .object()
                  .value(QStringLiteral("windowOpen")),
              QJsonValue(false));
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Deck%20A/hold")).status, 409) << "no window, no HOLD";

    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Nobody/start")).status, 404);
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Wall/reset")).status, 409);
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Show%20Timer/nudge"), "{\"seconds\": true}").status,
              400);
    const Reply huge =
        tavix.post(QStringLiteral("/api/v1/clocks/Show%20Timer/nudge"), QByteArray(100 * 1024, '1'));
    EXPECT_EQ(huge.status, 413);
    EXPECT_EQ(tavix
                  .curl({QStringLiteral("/api/v1/clocks/Show%20Timer/reset"), QStringLiteral("-X"),
                         QStringLiteral("POST"), QStringLiteral("-H"),
                         QStringLiteral("Origin: http://evil.example")})
                  .status,
              403);
    EXPECT_EQ(tavix
                  .curl({QStringLiteral("/api/v1/clocks"), QStringLiteral("-H"),
                         QStringLiteral("Host: rebound.example")})
                  .status,
              403);

    const Reply added =
        tavix.post(QStringLiteral("/api/v1/clocks"), "{\"name\": \"Break\", \"mode\": \"stopwatch\"}");
    EXPECT_EQ(added.status, 201);
    EXPECT_EQ(added.object().value(QStringLiteral("windowOpen")), QJsonValue(true));
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Break/close")).status, 200);
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Wall/close")).status, 200);
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Show%20Timer/close")).status, 409)
        << "without a tray the last window's close would end Tavix and its remote control";

    ASSERT_TRUE(tavix.stop());
    const auto saved = decodeStateFile(test::readFile(tavix.stateFile()), nullptr);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->clocks.size(), 4);
    const CountdownSettings show = *saved->clocks[0].countdown;
    EXPECT_TRUE(show.isRunning);
    EXPECT_EQ(show.duration, 600);
    EXPECT_GT(show.remaining, 330) << "the nudge is in the saved state";
    EXPECT_EQ(saved->clocks[3].name, QStringLiteral("Break"));
    EXPECT_EQ(saved->clocks[3].mode, ClockMode::stopwatch);
}

TEST_F(RemoteEndToEnd, OscsendDrivesClocksByNameAndOscdumpReceivesTheList) {
    Tavix tavix({countdown("Main Stage", 120), clockNamed("Laps", ClockMode::stopwatch)});
    ASSERT_TRUE(tavix.start());
    tavix.oscsend({QStringLiteral("/tavix/clock/Main Stage/toggle")});
    ASSERT_TRUE(test::waitUntil(
        [&] { return tavix.clock(QStringLiteral("Main Stage")).value(QStringLiteral("isRunning")).toBool(); },
        kDeadlineMs));
    tavix.oscsend(
        {QStringLiteral("/tavix/clock/Main Stage/duration"), QStringLiteral("f"), QStringLiteral("900")});
    tavix.oscsend({QStringLiteral("/tavix/clock/Laps/nudge"), QStringLiteral("f"), QStringLiteral("75")});
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return tavix.clock(QStringLiteral("Laps")).value(QStringLiteral("text")) ==
                   QStringLiteral("1:15");
        },
        kDeadlineMs));
    EXPECT_EQ(tavix.clock(QStringLiteral("Main Stage")).value(QStringLiteral("duration")).toDouble(), 900);

    // Random datagrams and half-messages are refused without harm.
    QUdpSocket junk;
    QRandomGenerator random(7);
    for (int i = 0; i < 200; ++i) {
        QByteArray bytes(4 * (1 + static_cast<int>(random.bounded(40))), '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random.bounded(256));
        }
        if (i % 2) {
            bytes.replace(0, 6, "/tavix");
        }
        junk.writeDatagram(bytes, QHostAddress::LocalHost, tavix.oscPort);
    }

    const quint16 dumpPort = freePort();
    QProcess dump;
    dump.start(QStringLiteral("oscdump"), {QStringLiteral("-L"), QString::number(dumpPort)});
    ASSERT_TRUE(dump.waitForStarted(10000));
    QByteArray dumped;
    // oscdump needs a moment to bind; ask again until the answer arrives.
    EXPECT_TRUE(test::waitUntil(
        [&] {
            tavix.oscsend({QStringLiteral("/tavix/clocks"), QStringLiteral("i"), QString::number(dumpPort)});
            test::waitUntil([&] { return dump.bytesAvailable() > 0; }, 500);
            dumped += dump.readAllStandardOutput();
            return dumped.count("/tavix/clock ") >= 2;
        },
        kDeadlineMs));
    dump.kill();
    dump.waitForFinished(5000);
    EXPECT_TRUE(dumped.contains("\"Main Stage\" \"countdown\"")) << dumped.constData();
    EXPECT_TRUE(dumped.contains("\"Laps\" \"stopwatch\" \"1:15\" \"normal\" 0 1")) << dumped.constData();
    EXPECT_EQ(tavix.curl({QStringLiteral("/api/v1/clocks")}).status, 200) << "still answering after the junk";
}

TEST_F(RemoteEndToEnd, WithOtherComputersAllowedEveryRequestNeedsTheTokenWhichIsNeverPrinted) {
    Tavix tavix({countdown("Show", 60)}, true, QStringLiteral("e2e-token-0123456789"));
    const QString token = tavix.token;
    ASSERT_TRUE(tavix.start());
    EXPECT_EQ(tavix.curl({QStringLiteral("/api/v1/clocks")}).status, 401);
    EXPECT_EQ(tavix.curl({QStringLiteral("/")}).status, 401);
    EXPECT_EQ(tavix.post(QStringLiteral("/api/v1/clocks/Show/start")).status, 401);
    EXPECT_EQ(
        tavix
            .curl({QStringLiteral("/api/v1/clocks/Show/start"), QStringLiteral("-X"), QStringLiteral("POST"),
                   QStringLiteral("-H"), QStringLiteral("Authorization: Bearer wrong")})
            .status,
        401);
    tavix.oscsend({QStringLiteral("/tavix/clock/Show/start")});
    tavix.oscsend({QStringLiteral("/tavix/clock/Show/start"), QStringLiteral("s"), QStringLiteral("wrong")});
    const QString bearer = QStringLiteral("Authorization: Bearer ") + token;
    const auto running = [&] {
        return tavix.curl({QStringLiteral("/api/v1/clocks/Show"), QStringLiteral("-H"), bearer})
            .object()
            .value(QStringLiteral("isRunning"))
            .toBool();
    };
    EXPECT_FALSE(running()) << "nothing changed without the token";
    tavix.oscsend({QStringLiteral("/tavix/clock/Show/start"), QStringLiteral("s"), token});
    EXPECT_TRUE(test::waitUntil(running, kDeadlineMs));
    EXPECT_EQ(tavix.curl({QStringLiteral("/?access_token=") + token}).status, 200) << "the phone's address";
    ASSERT_TRUE(tavix.stop());
    EXPECT_FALSE(tavix.process.readAllStandardOutput().contains(token.left(8).toUtf8()));
}

TEST_F(RemoteEndToEnd, WebSocketClientsGetTheListAndEveryChangeAndAreCapped) {
    Tavix tavix({countdown("Show", 600)});
    ASSERT_TRUE(tavix.start());
    const QUrl events(QStringLiteral("ws://127.0.0.1:%1/api/v1/events").arg(tavix.httpPort));
    QWebSocket client;
    QList<QJsonObject> messages;
    QObject::connect(&client, &QWebSocket::textMessageReceived, &client, [&](const QString& text) {
        messages.append(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    client.open(events);
    ASSERT_TRUE(test::waitUntil([&] { return !messages.isEmpty(); }, kDeadlineMs));
    const auto show = [](const QJsonObject& message) {
        return message.value(QStringLiteral("clocks")).toArray().at(0).toObject();
    };
    EXPECT_EQ(messages.first().value(QStringLiteral("type")).toString(), QStringLiteral("clocks"));
    EXPECT_EQ(show(messages.first()).value(QStringLiteral("text")).toString(), QStringLiteral("10:00"));

    // With nothing counting, nothing more comes until a change; then the change comes by itself.
    messages.clear();
    tavix.oscsend({QStringLiteral("/tavix/clock/Show/start")});
    ASSERT_TRUE(test::waitUntil(
        [&] {
            return !messages.isEmpty() && show(messages.last()).value(QStringLiteral("isRunning")).toBool();
        },
        kDeadlineMs));
    // While it counts the stream goes on without any request.
    const qsizetype seen = messages.size();
    EXPECT_TRUE(test::waitUntil([&] { return messages.size() >= seen + 10; }, kDeadlineMs));

    QWebSocket foreign;
    QNetworkRequest fromElsewhere(events);
    fromElsewhere.setRawHeader("Origin", "http://evil.example");
    bool foreignReceived = false;
    QObject::connect(&foreign, &QWebSocket::textMessageReceived, &foreign, [&] { foreignReceived = true; });
    foreign.open(fromElsewhere);

    // Up to 64 clients: the one connected above and 63 more; the next one is turned away.
    std::vector<std::unique_ptr<QWebSocket>> crowd;
    for (int i = 0; i < 64; ++i) {
        crowd.push_back(std::make_unique<QWebSocket>());
        crowd.back()->open(events);
    }
    const auto connected = [&] {
        return std::count_if(crowd.begin(), crowd.end(),
                             [](const auto& c) { return c->state() == QAbstractSocket::ConnectedState; });
    };
    const auto settled = [&] {
        return std::all_of(crowd.begin(), crowd.end(), [](const auto& c) {
            return c->state() == QAbstractSocket::ConnectedState ||
                   c->state() == QAbstractSocket::UnconnectedState;
        });
    };
    ASSERT_TRUE(test::waitUntil([&] { return settled() && connected() >= 63; }, kDeadlineMs));
    test::waitUntil([&] { return connected() == 63; }, 3000);
    EXPECT_EQ(connected(), 63);
    EXPECT_NE(foreign.state(), QAbstractSocket::ConnectedState);
    EXPECT_FALSE(foreignReceived) << "a page of another site gets nothing";
    EXPECT_EQ(tavix.curl({QStringLiteral("/api/v1/clocks")}).status, 200);
}

TEST_F(RemoteEndToEnd, ATakenPortIsReportedAndTheOtherInterfaceStillWorks) {
    Tavix tavix({countdown("Show", 60)});
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, tavix.httpPort));
    tavix.launch();
    QByteArray output;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            output += tavix.process.readAllStandardOutput();
            return output.contains("RemoteControl");
        },
        kDeadlineMs));
    EXPECT_TRUE(output.contains(
        QStringLiteral("\u26A0\uFE0F RemoteControl: cannot listen for HTTP on 127.0.0.1 port %1")
            .arg(tavix.httpPort)
            .toUtf8()))
        << output.constData();
    squatter.close();
    // OSC still works; its effect shows in the saved file.
    ASSERT_TRUE(tavix.waitForOsc());
    tavix.oscsend({QStringLiteral("/tavix/clock/Show/start")});
    ASSERT_TRUE(test::waitUntil(
        [&] {
            const auto saved = decodeStateFile(test::readFile(tavix.stateFile()), nullptr);
            return saved && saved->clocks[0].countdown->isRunning;
        },
        kDeadlineMs));
}
