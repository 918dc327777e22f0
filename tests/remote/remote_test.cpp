// The remote protocols without sockets: HTTP routing and access checks, the byte gate in front of
// the HTTP parser, OSC decoding and commands, clock snapshots, and a seeded fuzz of the parsers.
#include "display/moderules.h"
#include "remote/accesscontrol.h"
#include "remote/httpgate.h"
#include "remote/oscprotocol.h"
#include "remote/remoteapi.h"
#include "remote/remoteclockbackend.h"
#include "remote/remotecontrol.h"
#include "remote/remotehttpserver.h"
#include "support/storetest.h"
#include "timecode/timecoderuntime.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

const QDateTime kNow(QDate(2024, 6, 12), QTime(17, 0, 0));

using test::makeClock;

/// Clocks as plain records, changed by the same pure rules a closed window uses; counts applied
/// commands so tests can tell that a refused request changed nothing.
class FakeBackend : public RemoteClockBackend {
public:
    QList<ClockModel> models;
    int applied = 0;
    std::optional<ClockCommand> last;

    QList<ClockSnapshot> clocks() const override {
        QList<ClockSnapshot> out;
        for (const ClockModel& clock : models) {
            out.append(snapshotOf(clock, kNow, true, true, nullptr));
        }
        return out;
    }

    CommandResult apply(const QUuid& id, const ClockCommand& command) override {
        ++applied;
        last = command;
        const auto it = std::ranges::find(models, id, &ClockModel::id);
        if (it == models.end()) {
            return {CommandStatus::notFound, u"gone"_s, std::nullopt};
        }
        ClockModel& clock = *it;
        if (command.action == ClockAction::toggle || command.action == ClockAction::start) {
            clock = clock.mode == ClockMode::countdown ? *toggleCountdown(clock) : toggleStopwatch(clock);
        } else if (command.action == ClockAction::nudge) {
            clock.countdown->remaining += command.seconds;
        } else if (command.action == ClockAction::setCountdown) {
            clock.countdown->duration = command.duration.value_or(clock.countdown->duration);
        }
        return {};
    }

    QUuid addClock(const std::optional<QString>& name, ClockMode mode) override {
        models.append(makeClock("Clock 9", mode));
        models.last().name = name.value_or(models.last().name);
        return models.last().id;
    }
};

HttpRequest request(const char* method, const char* path, const QByteArray& body = {},
                    HttpHeaders headers = {{"Host", "127.0.0.1:7420"}}) {
    const QList<QByteArray> parts = QByteArray(path).split('?');
    return HttpRequest{method, parts[0], parts.value(1), std::move(headers), body};
}

QJsonObject bodyOf(const HttpResponse& response) {
    return QJsonDocument::fromJson(response.body).object();
}

struct Fixture {
    FakeBackend backend;
    RemoteApi api{backend};
    ClockModel countdown = makeClock("Show Timer", ClockMode::countdown);
    ClockModel wall = makeClock("Wall", ClockMode::clock);
    Fixture() { backend.models = {countdown, wall}; }
};

} // namespace

TEST(RemoteApi, RoutesRequestsAndAnswersErrorsWithTheRightStatusWithoutChangingAnything) {
    // Method, path, body, status, whether a clock changes.
    const std::tuple<const char*, const char*, const char*, int, bool> cases[] = {
        {"GET", "/api/v1/clocks", "", 200, false},
        {"GET", "/api/v1/clocks/show%20timer", "", 404, false}, // names compare exactly
        {"GET", "/api/v1/clocks/Show%20Timer", "", 200, false},
        {"POST", "/api/v1/clocks/Show%20Timer/toggle", "", 200, true},
        {"POST", "/api/v1/clocks/Show%20Timer/nudge", "{\"seconds\": -60}", 200, true},
        {"PUT", "/api/v1/clocks/Show%20Timer/countdown", "{\"duration\": 600, \"remaining\": 30}", 200, true},
        {"POST", "/api/v1/clocks/Wall/start", "", 409, false},
        {"PUT", "/api/v1/clocks/Show%20Timer/timeuntil", "{\"hour\": 18}", 409, false},
        {"POST", "/api/v1/clocks/Show%20Timer/nudge", "{\"seconds\": \"60\"}", 400, false},
        {"POST", "/api/v1/clocks/Show%20Timer/nudge", "{\"seconds\": 1e300}", 400, false},
        {"POST", "/api/v1/clocks/Show%20Timer/toggle", "{oops", 400, false},
        {"PUT", "/api/v1/clocks/Show%20Timer/countdown", "{\"duration\": -5}", 400, false},
        {"GET", "/api/v1/clocks/Show%20Timer/start", "", 405, false},
        {"POST", "/api/v1/clocks/Show%20Timer/countdown", "{\"duration\": 5}", 405, false},
        {"POST", "/api/v1/clocks/Show%20Timer/explode", "", 404, false},
        {"POST", "/api/v1/clocks", "{\"mode\": \"sundial\"}", 400, false},
        {"POST", "/api/v1/clocks", "{\"name\": \"  Wall \"}", 409, false},
        {"POST", "/api/v1/clocks", "{\"name\": \"   \"}", 400, false},
        {"GET", "/api/v1/events", "", 426, false}};
    for (const auto& [method, path, body, status, changes] : cases) {
        SCOPED_TRACE(std::string(method) + ' ' + path + ' ' + body);
        Fixture f;
        const HttpResponse response = f.api.handle(request(method, path, body));
        EXPECT_EQ(std::tuple(response.status, f.backend.applied > 0, response.contentType),
                  std::tuple(status, changes, QByteArray("application/json")));
        if (status >= 400) {
            EXPECT_EQ(bodyOf(response).value(u"status"_s).toInt(), status);
            EXPECT_FALSE(bodyOf(response).value(u"error"_s).toString().isEmpty());
        }
    }
}

// Creating clocks and the answers to commands are the end-to-end test's part; here how clocks are
// named in a path, and the page's headers.
TEST(RemoteApi, ClocksAreFoundByIdInAnyCaseOrByTheirEncodedNameAndThePageMayNotBeFramed) {
    Fixture f;
    f.backend.models.append(makeClock("Talk / Q&A", ClockMode::stopwatch));
    const QByteArray id = uuidText(f.countdown.id).toLower().toUtf8();
    const QByteArray byId = "/api/v1/clocks/" + id + "/toggle";
    EXPECT_EQ(f.api.handle(request("POST", byId.constData())).status, 200);
    EXPECT_EQ(f.api.handle(request("POST", "/api/v1/clocks/Talk%20%2F%20Q%26A/start")).status, 200);

    const HttpResponse page = f.api.handle(request("GET", "/"));
    EXPECT_EQ(std::tuple(page.status, page.contentType.startsWith("text/html")), std::tuple(200, true));
    EXPECT_TRUE(headerValue(page.headers, "Content-Security-Policy")->contains("frame-ancestors 'none'"));
}

TEST(RemoteApi, HostOriginAndTokenDecideWhoMayAct) {
    // Other computers allowed, headers, query, status.
    const std::vector<std::tuple<bool, HttpHeaders, const char*, int>> cases = {
        {false, {{"Host", "127.0.0.1:7420"}}, "", 200},
        {false, {{"host", "localhost:7420"}}, "", 200},
        {false, {{"Host", "[::1]:7420"}}, "", 200},
        {false, {{"Host", "evil.example:7420"}}, "", 403}, // a rebound name
        {false, {}, "", 403},
        {false, {{"Host", "127.0.0.1:7420"}, {"Origin", "http://127.0.0.1:7420"}}, "", 200},
        {false, {{"Host", "127.0.0.1:7420"}, {"Origin", "http://evil.example"}}, "", 403},
        {false, {{"Host", "127.0.0.1:7420"}, {"Origin", "http://127.0.0.1:8080"}}, "", 403},
        {false, {{"Host", "127.0.0.1:7420"}, {"Origin", "null"}}, "", 403},
        {true, {{"Host", "192.168.1.5:7420"}}, "", 401},
        {true, {{"Host", "192.168.1.5:7420"}, {"Authorization", "Bearer wrong"}}, "", 401},
        {true, {{"Host", "192.168.1.5:7420"}, {"Authorization", "Bearer s3cret-token"}}, "", 200},
        {true, {{"Host", "192.168.1.5:7420"}, {"authorization", "bearer s3cret-token"}}, "", 200},
        {true, {{"Host", "192.168.1.5:7420"}}, "?access_token=s3cret-token", 200},
        {true,
         {{"Host", "192.168.1.5:7420"},
          {"Origin", "http://evil.example"},
          {"Authorization", "Bearer s3cret-token"}},
         "",
         403}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [allowOthers, headers, query, status] = cases[i];
        Fixture f;
        f.api.setPolicy({allowOthers, u"s3cret-token"_s});
        const QByteArray path = QByteArray("/api/v1/clocks/Show%20Timer/toggle") + query;
        const HttpResponse response = f.api.handle(request("POST", path.constData(), "", headers));
        EXPECT_EQ(response.status, status) << "case " << i;
        EXPECT_EQ(f.backend.applied > 0, status == 200) << "a refused request changes nothing";
        if (status == 401) {
            EXPECT_TRUE(headerValue(response.headers, "WWW-Authenticate").has_value());
        }
        EXPECT_FALSE(headerValue(response.headers, "Access-Control-Allow-Origin").has_value());
    }
    // With other computers allowed but no token made yet, nobody gets in.
    Fixture f;
    f.api.setPolicy({true, QString()});
    const HttpHeaders emptyToken{{"Host", "h"}, {"Authorization", "Bearer "}};
    EXPECT_EQ(f.api.handle(request("GET", "/api/v1/clocks", "", emptyToken)).status, 401);
}

TEST(RemoteApi, WebSocketUpgradesAreCheckedLikeRequests) {
    Fixture f;
    f.api.setPolicy({true, u"tok"_s});
    const HttpHeaders headers{{"Host", "10.0.0.2:7420"}, {"Upgrade", "websocket"}};
    // The status of the refusal, 0 for none.
    // The cap on clients is the end-to-end test's part.
    const auto refusal = [&](const char* path) {
        const auto answer = f.api.refuseUpgrade(request("GET", path, "", headers), 0);
        return answer ? answer->status : 0;
    };
    EXPECT_EQ((std::vector{refusal("/api/v1/events"), refusal("/api/v1/events?access_token=tok"),
                           refusal("/other?access_token=tok")}),
              (std::vector{401, 0, 404}));
}

TEST(AccessControl, TokensCompareByContentOnlyAndArePrintedMasked) {
    EXPECT_EQ((std::vector{tokensEqual("abc", "abc"), tokensEqual("abc", "abd"), tokensEqual("abc", "abcd"),
                           tokensEqual("", "a")}),
              (std::vector{true, false, false, false}));
    EXPECT_EQ(maskedToken(u"abcdefgh"_s), u"abcd\u2026"_s);
}

TEST(HttpRequestGate, RefusesOversizedOrUnframedRequestsAsSoonAsTheHeadersSaySo) {
    using V = HttpRequestGate::Verdict;
    const auto post = [](qint64 length) {
        return "POST /x HTTP/1.1\r\nHost: h\r\nContent-Length: " + QByteArray::number(length) + "\r\n\r\n";
    };
    const std::vector<std::pair<QList<QByteArray>, V>> cases = {
        {{post(65536) + QByteArray(65536, 'x')}, V::pass},
        {{post(65537)}, V::bodyTooLarge},
        {{post(10).left(20), post(10).mid(20, 7), post(10).mid(27) + "0123456789"}, V::pass},
        // The second request of a pipelined pair is judged too, after the first one's body.
        {{post(4) + "abcd" + post(1 << 20)}, V::bodyTooLarge},
        {{post(3) + "abc", "GET / HTTP/1.1\r\nHost: h\r\nTransfer-Encoding: chunked\r\n\r\n"},
         V::lengthRequired},
        {{"POST / HTTP/1.1\r\nContent-Length: 12x\r\n\r\n"}, V::badRequest},
        {{"POST / HTTP/1.1\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\n"}, V::badRequest},
        {{"GET / HTTP/1.1\r\nX: " + QByteArray(20000, 'a')}, V::headersTooLarge},
        {{"GET /api/v1/events HTTP/1.1\r\nUpgrade: websocket\r\n\r\n", QByteArray(200000, '\x81')}, V::pass}};
    for (const auto& [chunks, expected] : cases) {
        HttpRequestGate gate;
        V verdict = V::pass;
        for (const QByteArray& chunk : chunks) {
            verdict = gate.feed(chunk);
        }
        EXPECT_EQ(verdict, expected) << chunks.first().left(60).constData();
    }
}

TEST(OscProtocol, DecodesMessagesAndNestedBundlesAndRefusesMalformedPackets) {
    const QByteArray one = encodeOscMessage(u"/a b"_s, {qint64{7}, 1.5, u"x"_s, true});
    EXPECT_EQ(parseOscPacket(one), (QList<OscMessage>{{u"/a b"_s, {qint64{7}, 1.5, u"x"_s, true}}}));

    const auto element = [](const QByteArray& content) {
        QByteArray size(4, '\0');
        qToBigEndian<qint32>(static_cast<qint32>(content.size()), size.data());
        return size + content;
    };
    const QByteArray header = QByteArray("#bundle\0", 8) + QByteArray(8, '\1');
    const QByteArray inner = header + element(encodeOscMessage(u"/two"_s, {}));
    const QByteArray outer = header + element(one) + element(inner);
    const QList<OscMessage> bundle = parseOscPacket(outer).value();
    ASSERT_EQ(bundle.size(), 2);
    EXPECT_EQ(bundle[1].path, u"/two"_s);

    QByteArray deep = encodeOscMessage(u"/deep"_s, {});
    for (int i = 0; i < 12; ++i) {
        deep = header + element(deep);
    }
    for (const QByteArray& packet : std::vector<QByteArray>{
             QByteArray(), one.left(one.size() - 4), QByteArray("/abc"),
             QByteArray("nope\0\0\0\0,\0\0\0", 12), header + QByteArray("\0\0\0\x40", 4) + one,
             header + QByteArray("\xff\xff\xff\xfc", 4), deep}) {
        QString error;
        EXPECT_FALSE(parseOscPacket(packet, &error)) << packet.toHex().constData();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(OscEndpoint, CommandsFindClocksByNameAndTheTokenGuardsThemWhenOthersAreAllowed) {
    Fixture f;
    f.backend.models.append(makeClock("Talk / Q&A", ClockMode::countdown));
    OscEndpoint osc(f.backend);
    quint16 port = 0;
    const auto send = [&](const char* path, QVariantList args, const char* sender = "10.0.0.9:9000") {
        return osc.handle(encodeOscMessage(QString::fromUtf8(path), args), QString::fromLatin1(sender),
                          &port);
    };
    const auto errorOf = [](const QList<QByteArray>& replies) {
        return replies.size() == 1 ? parseOscPacket(replies[0])->first() : OscMessage{};
    };
    // Commands by name and the list sent to a port of the asker's choice are the OSC end-to-end
    // test's part; here names with slashes, integer arguments, refusals and the token.
    send("/tavix/clock/Show Timer/nudge", {qint64{-60}});
    EXPECT_DOUBLE_EQ(f.backend.models[0].countdown->remaining, 1740);
    send("/tavix/clock/Talk / Q&A/duration", {90.0});
    EXPECT_DOUBLE_EQ(f.backend.models[2].countdown->duration, 90);

    EXPECT_EQ(errorOf(send("/tavix/clock/Wall/reset", {})).path, u"/tavix/error"_s);
    EXPECT_EQ(errorOf(send("/tavix/clock/Nobody/start", {})).path, u"/tavix/error"_s);
    EXPECT_EQ(errorOf(send("/tavix/clock/Show Timer/nudge", {u"sixty"_s})).path, u"/tavix/error"_s);
    EXPECT_TRUE(send("/other/app", {}).isEmpty()) << "traffic for others is ignored";

    osc.setPolicy({true, u"tok"_s});
    const int before = f.backend.applied;
    EXPECT_EQ(errorOf(send("/tavix/clock/Show Timer/toggle", {})).path, u"/tavix/error"_s);
    EXPECT_EQ(errorOf(send("/tavix/clocks", {u"wrong"_s})).path, u"/tavix/error"_s);
    EXPECT_EQ(f.backend.applied, before) << "nothing changes without the token";
    EXPECT_TRUE(send("/tavix/clock/Show Timer/nudge", {u"tok"_s, 10.0}).isEmpty());
    EXPECT_DOUBLE_EQ(f.backend.models[0].countdown->remaining, 1750);
    EXPECT_EQ(errorOf(send("/tavix/auth", {u"nope"_s})).args, QVariantList{qint64{0}});
    EXPECT_EQ(errorOf(send("/tavix/auth", {u"tok"_s})).args, QVariantList{qint64{1}});
    EXPECT_TRUE(send("/tavix/clock/Show Timer/nudge", {10.0}).isEmpty()) << "the sender is known now";
    EXPECT_DOUBLE_EQ(f.backend.models[0].countdown->remaining, 1760);
    EXPECT_FALSE(send("/tavix/clock/Show Timer/nudge", {10.0}, "10.0.0.9:9001").isEmpty()) << "another port";
    osc.setPolicy({true, u"new"_s});
    EXPECT_FALSE(send("/tavix/clock/Show Timer/nudge", {10.0}).isEmpty())
        << "a new token forgets the senders";
    EXPECT_DOUBLE_EQ(f.backend.models[0].countdown->remaining, 1760);
}

TEST(ClockSnapshot, StateTextAndFieldsFollowTheModeAndTheWindow) {
    ClockModel countdown = makeClock("C", ClockMode::countdown);
    const auto stateOf = [&](double remaining) {
        countdown.countdown->remaining = remaining;
        return snapshotOf(countdown, kNow, true, true, nullptr).state;
    };
    // Where each band begins is the display rules' test; here each band's name.
    EXPECT_EQ((std::vector{stateOf(61), stateOf(60), stateOf(-0.5)}),
              (std::vector{ClockState::normal, ClockState::warning, ClockState::overtime}));
    countdown.countdown->isRunning = true;
    countdown.countdown->flashWhenDone = true;
    const ClockSnapshot hidden = snapshotOf(countdown, kNow, false, true, nullptr);
    EXPECT_EQ(std::pair(hidden.textVisible, hidden.textColor),
              std::pair(false, countdown.countdown->warningForegroundColor))
        << "the flash's hidden phase";
    // The remote shows overtime as the faces do.
    countdown.countdown->remaining = -5;
    EXPECT_EQ(std::pair(snapshotOf(countdown, kNow, true, true, nullptr).text,
                        snapshotOf(countdown, kNow, true, true, nullptr, true).text),
              std::pair(u"-0:05"_s, u"+0:05"_s));

    ClockModel until = makeClock("U", ClockMode::timeUntil);
    until.timeUntil->targetHour = 16;
    const ClockSnapshot past = snapshotOf(until, kNow, true, false, nullptr);
    EXPECT_EQ(std::tuple(past.state, past.text, past.target),
              std::tuple(ClockState::atTarget, u"-1:00:00"_s, TimeOfDay{16, 0, 0}));

    ClockModel timecode = makeClock("T", ClockMode::timecode);
    TimecodeRuntime runtime;
    runtime.setLiveTime(10, 0, 0, 12);
    runtime.setHoldEnabled(true);
    runtime.setLiveTime(10, 0, 1, 0);
    const ClockSnapshot held = snapshotOf(timecode, kNow, true, true, &runtime);
    EXPECT_EQ(std::pair(held.text, held.state), std::pair(u"10:00:00:12"_s, ClockState::hold));
    runtime.setHoldEnabled(false);
    runtime.setHasLiveTimecode(true);
    EXPECT_EQ(snapshotOf(timecode, kNow, true, true, &runtime).state, ClockState::normal) << "live timecode";
    const ClockSnapshot closed = snapshotOf(timecode, kNow, true, false, nullptr);
    EXPECT_EQ(std::pair(closed.text, closed.state), std::pair(closedTimecodeText(), ClockState::noSignal));

    ClockModel broken = makeClock("B", ClockMode::countdown);
    broken.countdown->remaining = std::numeric_limits<double>::infinity();
    const QJsonObject json = toJson(snapshotOf(broken, kNow, true, true, nullptr));
    EXPECT_TRUE(json.value(u"remaining"_s).isNull()) << "JSON has no infinity";
    EXPECT_FALSE(json.contains(u"elapsed"_s));
    EXPECT_EQ(json.value(u"colors"_s).toObject().value(u"background"_s).toString(), u"#000000FF"_s);
}

// A seeded, bounded fuzz of everything that reads bytes from the network: random and mutated
// packets must be refused or answered, never crash, hang or change a clock they were not meant to.
TEST(RemoteFuzz, RandomAndMutatedInputIsRefusedWithoutHarm) {
    Fixture f;
    OscEndpoint osc(f.backend);
    QRandomGenerator random(20240612);
    const QList<QByteArray> oscSeeds = {
        encodeOscMessage(u"/tavix/clock/Show Timer/nudge"_s, {1.0}), encodeOscMessage(u"/tavix/clocks"_s, {}),
        QByteArray("#bundle\0", 8) + QByteArray(8, '\0') + QByteArray("\0\0\0\x10", 4) +
            encodeOscMessage(u"/tavix/clock/x/hold"_s, {qint64{1}}).left(16)};
    const QList<QByteArray> httpSeeds = {"{\"seconds\": -60}", "{\"duration\": 600, \"remaining\": 1}",
                                         "{\"hour\": 18, \"minute\": 0}", "[]", "{"};
    const auto mutate = [&](QByteArray bytes) {
        const int edits = 1 + static_cast<int>(random.bounded(4));
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const auto at = static_cast<qsizetype>(random.bounded(static_cast<quint32>(bytes.size())));
            const auto byte = static_cast<char>(random.bounded(256));
            const quint32 kind = random.bounded(3);
            if (kind == 0) {
                bytes[at] = byte;
            } else {
                kind == 1 ? bytes.remove(at, 1 + random.bounded(4))
                          : bytes.insert(at, 1 + random.bounded(8), byte);
            }
        }
        return bytes;
    };
    const auto randomBytes = [&](int maximum) {
        QList<quint32> words(maximum / 4 + 1);
        random.fillRange(words.data(), words.size());
        return QByteArray(reinterpret_cast<const char*>(words.constData()), random.bounded(maximum));
    };
    const char* words[] = {"start", "toggle", "nudge", "countdown", "timeuntil", "hold", "open", "x"};
    for (int i = 0; i < 100000; ++i) {
        QByteArray packet = i % 3 == 0 ? randomBytes(96) : mutate(oscSeeds[i % oscSeeds.size()]);
        if (i % 2 == 0) {
            packet.resize(packet.size() / 4 * 4);
        }
        quint16 port = 0;
        osc.handle(packet, u"127.0.0.1:1"_s, &port);

        const QByteArray word = words[random.bounded(8)];
        const QByteArray path = "/api/v1/clocks/Show%20Timer/" + word;
        const QByteArray body = i % 2 ? randomBytes(64) : mutate(httpSeeds[i % httpSeeds.size()]);
        const HttpResponse response = f.api.handle(request(i % 2 ? "POST" : "PUT", path.constData(), body));
        EXPECT_TRUE(response.status == 200 || (response.status >= 400 && response.status < 500))
            << response.status;

        HttpRequestGate gate;
        gate.feed(randomBytes(200));
        gate.feed(mutate(QByteArray("POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789")));
    }
    EXPECT_GT(osc.malformedPackets(), 10000);
    EXPECT_EQ(f.backend.models[1], f.wall) << "the wall clock takes no command";
}

namespace {

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool answersHttp(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000)) {
        return false;
    }
    socket.write("GET /api/v1/clocks HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    return test::waitUntil([&] { return socket.bytesAvailable() > 0; }, 5000) &&
           socket.readAll().startsWith("HTTP/1.1 200");
}

} // namespace

TEST(RemoteControl, RebindsAtOnceWhenTheSettingsChangeAndReportsATakenPort) {
    test::Store store;
    FakeBackend backend;
    RemoteControl remote(store.state, backend);
    QTcpServer squatter;
    ASSERT_TRUE(squatter.listen(QHostAddress::LocalHost, 0));
    store.changeSettings([&](AppSettings& s) {
        s.remoteHttpPort = squatter.serverPort();
        s.remoteOscPort = freePort();
    });

    const QStringList lines = test::capturedStdoutLines([&] { remote.start(); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(
        u"\u26A0\uFE0F RemoteControl: cannot listen for HTTP on 127.0.0.1 port %1: the port is in use"_s.arg(
            squatter.serverPort())))
        << lines[0].toStdString();
    EXPECT_EQ(std::pair(remote.status().httpListening, remote.status().oscListening), std::pair(false, true))
        << "the other server runs regardless";

    const quint16 port = freePort();
    store.changeSettings([&](AppSettings& s) { s.remoteHttpPort = port; });
    EXPECT_EQ(std::tuple(remote.status().httpListening, remote.status().problem, remote.status().url),
              std::tuple(true, QString(), u"http://127.0.0.1:%1/"_s.arg(port)));
    EXPECT_TRUE(answersHttp(port));

    store.changeSettings([](AppSettings& s) { s.remoteAllowOtherComputers = true; });
    const QString token = store.state.settings().remoteAccessToken;
    EXPECT_FALSE(token.isEmpty()) << "a token is made and kept";
    EXPECT_TRUE(remote.status().url.endsWith(u"?access_token="_s + token));
    EXPECT_FALSE(answersHttp(port)) << "401 without the token";

    store.changeSettings([](AppSettings& s) { s.remoteControlEnabled = false; });
    QTcpServer reuse;
    EXPECT_TRUE(reuse.listen(QHostAddress::LocalHost, port)) << "turned off, the port is free again";
}

TEST(RemoteHttpServer, QtsServerIsMadeForTheFirstClientAndAnswersIt) {
    FakeBackend backend;
    RemoteApi api(backend);
    RemoteHttpServer server(api);
    const quint16 port = freePort();
    ASSERT_FALSE(server.listen({QHostAddress::LocalHost}, port));
    EXPECT_FALSE(server.isServing()) << "listening alone loads neither the HTTP server nor TLS";
    EXPECT_TRUE(answersHttp(port) && server.isServing() && answersHttp(port));
}

TEST(RemoteCommands, StageAndCaptionReadTheSameOverHttpAndOsc) {
    Fixture f;
    OscEndpoint osc(f.backend);
    const auto http = [&](const char* method, const char* action, const char* body) {
        f.backend.last.reset();
        const QByteArray path = QByteArrayLiteral("/api/v1/clocks/Wall/") + action;
        return f.api.handle(request(method, path.constData(), body)).status;
    };
    quint16 port = 0;
    const auto oscSend = [&](const char* action, QVariantList args) {
        f.backend.last.reset();
        const QString path = u"/tavix/clock/Wall/"_s + QString::fromUtf8(action);
        return osc.handle(encodeOscMessage(path, args), u"127.0.0.1:9000"_s, &port).isEmpty();
    };
    const auto stage = [&] { return std::pair(f.backend.last->stageOn, f.backend.last->screen); };
    const auto caption = [&] { return std::pair(f.backend.last->caption, f.backend.last->message); };
    using Stage = std::pair<std::optional<bool>, std::optional<QString>>;
    using Caption = std::pair<std::optional<CaptionKind>, std::optional<QString>>;

    ASSERT_EQ(http("POST", "stage", ""), 200);
    EXPECT_EQ(stage(), Stage()) << "no body toggles, as F11 does";
    ASSERT_EQ(http("POST", "stage", R"({"on": true, "screen": "HDMI-2"})"), 200);
    EXPECT_EQ(stage(), Stage(true, u"HDMI-2"_s));
    ASSERT_TRUE(oscSend("stage", {qint64{0}}));
    EXPECT_EQ(stage(), Stage(false, std::nullopt));
    ASSERT_TRUE(oscSend("stage", {u"DP-1"_s}));
    EXPECT_EQ(stage(), Stage(std::nullopt, u"DP-1"_s));

    ASSERT_EQ(http("PUT", "caption", R"({"message": "Act 2"})"), 200);
    EXPECT_EQ(caption(), Caption(std::nullopt, u"Act 2"_s));
    ASSERT_TRUE(oscSend("message", {QString()}));
    EXPECT_EQ(caption().first, CaptionKind::none) << "an empty message takes the caption away";
    ASSERT_TRUE(oscSend("caption", {u"name"_s}));
    EXPECT_EQ(caption(), Caption(CaptionKind::name, std::nullopt));

    // Refused before anything is applied.
    const int before = f.backend.applied;
    const QByteArray longMessage = "{\"message\": \"" + QByteArray(kMaximumMessageLength + 1, 'x') + "\"}";
    EXPECT_EQ(
        (std::vector{http("POST", "stage", R"({"on": "yes"})"), http("POST", "stage", R"({"screen": ""})"),
                     http("PUT", "caption", "{}"), http("PUT", "caption", R"({"caption": "banner"})"),
                     http("PUT", "caption", longMessage.constData())}),
        std::vector(5, 400));
    EXPECT_FALSE(oscSend("caption", {u"banner"_s}) || oscSend("message", {qint64{3}}));
    EXPECT_EQ(f.backend.applied, before);

    f.backend.models[1].stage = StageSettings{true, u"DP-1"_s, CaptionKind::message, u"Act 2"_s};
    const QJsonObject shown =
        bodyOf(f.api.handle(request("GET", "/api/v1/clocks/Wall"))).value(u"stage"_s).toObject();
    EXPECT_EQ(shown, (QJsonObject{{u"on"_s, true},
                                  {u"screen"_s, u"DP-1"_s},
                                  {u"caption"_s, u"message"_s},
                                  {u"message"_s, u"Act 2"_s}}));
}
