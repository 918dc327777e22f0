// Remote control latency in the real application object (offscreen windows): OSC datagrams sent
// at a fixed rate from another thread, the moment each one changes the store (main thread), and
// the moment the change reaches a WebSocket client running its own event loop in a third thread.
// Also counts the event messages per second while a countdown runs.
// Usage: tavix_remote_bench [MESSAGES] [RATE_PER_SECOND]      (defaults 1000 and 100)
#include "display/timesource.h"
#include "model/appstate.h"
#include "model/statecodec.h"
#include "platform/audiobackend.h"
#include "remote/oscprotocol.h"
#include "shell/tavixapp.h"

#include <QApplication>
#include <QEventLoop>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWebSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using namespace tavix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBase = 100000;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

/// Runs the main event loop until `done` holds.
void spinUntil(const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            loop.quit();
        }
    });
    poll.start(5);
    loop.exec();
}

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

/// Percentile of positive samples (NaN where a sample is missing are skipped).
double percentile(std::vector<double> values, double p) {
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); }),
                 values.end());
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

void report(const char* what, const std::vector<double>& values) {
    const auto seen = std::count_if(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
    std::printf("%s: median %.2f ms, p99 %.2f ms, max %.2f ms over %ld of %zu\n", what,
                percentile(values, 50), percentile(values, 99), percentile(values, 100),
                static_cast<long>(seen), values.size());
}

/// The "Bench" clock's remaining time in an event message, or NaN.
double benchRemaining(const QString& text) {
    const QJsonArray clocks =
        QJsonDocument::fromJson(text.toUtf8()).object().value(QStringLiteral("clocks")).toArray();
    for (const QJsonValue& clock : clocks) {
        if (clock.toObject().value(QStringLiteral("name")).toString() == QStringLiteral("Bench")) {
            return clock.toObject().value(QStringLiteral("remaining")).toDouble(NAN);
        }
    }
    return NAN;
}

} // namespace

int main(int argc, char** argv) {
    const int messages = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int rate = argc > 2 ? std::atoi(argv[2]) : 100;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir folder;
    PersistenceContainer state;
    // A realistic list: the benchmark's paused countdown and nine more clocks, all with windows.
    for (int i = 0; i < 10; ++i) {
        ClockModel clock =
            ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock %1").arg(i), AppSettings{});
        clock.mode = std::array{ClockMode::clock, ClockMode::countdown, ClockMode::stopwatch}[i % 3];
        clock.windowOrigin = {double(40 * i), 40};
        if (i == 0) {
            clock.name = QStringLiteral("Bench");
            clock.mode = ClockMode::countdown;
            clock.countdown->remaining = kBase;
        }
        state.clocks.append(clock);
    }
    state.settings.remoteHttpPort = freePort();
    state.settings.remoteOscPort = freePort();
    QDir().mkpath(folder.path() + QStringLiteral("/Tavix"));
    QFile file(folder.path() + QStringLiteral("/Tavix/tavix.plist"));
    file.open(QIODevice::WriteOnly);
    file.write(*encodeStateFile(state, nullptr));
    file.close();

    SystemTimeSource time;
    TavixApp tavix(std::make_shared<StateFile>(folder.path()), nullptr, time);
    tavix.start();
    tavix.startRemoteControl();

    std::vector<Clock::time_point> sent(static_cast<size_t>(messages) + 1);
    std::vector<double> toStore(static_cast<size_t>(messages) + 1, NAN);
    std::vector<double> toClient(static_cast<size_t>(messages) + 1, NAN);
    std::vector<double> storeToClient(static_cast<size_t>(messages) + 1, NAN);
    std::vector<Clock::time_point> stored(static_cast<size_t>(messages) + 1);
    std::mutex lock;
    const auto indexOf = [&](double remaining) {
        const double k = std::round(remaining - kBase);
        return k >= 1 && k <= messages ? static_cast<size_t>(k) : size_t{0};
    };

    // The store changes on the main thread: the countdown's remaining time tells which nudge it was.
    QObject::connect(&tavix.appState(), &AppState::clocksChanged, &app, [&] {
        const auto now = Clock::now();
        const size_t k = indexOf(tavix.appState().clocks().front().countdown->remaining);
        std::lock_guard guard(lock);
        if (k && !std::isfinite(toStore[k])) {
            stored[k] = now;
            toStore[k] = ms(now - sent[k]);
        }
    });

    // The WebSocket client lives in its own thread with its own event loop, as a remote client would.
    std::atomic<int> received{0};
    std::atomic<bool> clientReady{false};
    QThread clientThread;
    auto* client = new QWebSocket;
    client->moveToThread(&clientThread);
    QObject::connect(client, &QWebSocket::connected, client, [&] { clientReady = true; });
    QObject::connect(client, &QWebSocket::textMessageReceived, client, [&](const QString& text) {
        const auto now = Clock::now();
        ++received;
        const size_t k = indexOf(benchRemaining(text));
        std::lock_guard guard(lock);
        if (k && !std::isfinite(toClient[k])) {
            toClient[k] = ms(now - sent[k]);
            if (std::isfinite(toStore[k])) {
                storeToClient[k] = ms(now - stored[k]);
            }
        }
    });
    QObject::connect(&clientThread, &QThread::finished, client, &QObject::deleteLater);
    clientThread.start();
    const QUrl events(QStringLiteral("ws://127.0.0.1:%1/api/v1/events").arg(state.settings.remoteHttpPort));
    QMetaObject::invokeMethod(client, [client, events] { client->open(events); });
    spinUntil([&] { return clientReady.load(); });

    // The sender: plain sendto from its own thread, on a fixed schedule.
    const QByteArray datagram = encodeOscMessage(QStringLiteral("/tavix/clock/Bench/nudge"), {1.0});
    std::atomic<bool> senderDone{false};
    std::thread sender([&] {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(state.settings.remoteOscPort);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const auto start = Clock::now() + std::chrono::milliseconds(200);
        for (int k = 1; k <= messages; ++k) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(1'000'000LL * k / rate));
            {
                std::lock_guard guard(lock);
                sent[static_cast<size_t>(k)] = Clock::now();
            }
            ::sendto(fd, datagram.constData(), static_cast<size_t>(datagram.size()), 0,
                     reinterpret_cast<const sockaddr*>(&to), sizeof to);
        }
        ::close(fd);
        senderDone = true;
    });
    spinUntil([&] { return senderDone.load(); });
    sender.join();
    const auto drainUntil = Clock::now() + std::chrono::seconds(2);
    spinUntil([&] { return Clock::now() >= drainUntil; });

    std::printf("%d OSC nudges at %d per second, 10 clocks with open (offscreen) windows\n", messages, rate);
    {
        std::lock_guard guard(lock);
        const std::vector<double> a(toStore.begin() + 1, toStore.end());
        const std::vector<double> b(storeToClient.begin() + 1, storeToClient.end());
        const std::vector<double> c(toClient.begin() + 1, toClient.end());
        report("OSC command -> store change", a);
        report("store change -> WebSocket client", b);
        report("OSC command -> WebSocket client", c);
    }

    // While a countdown runs, the stream goes on by itself.
    tavix.appState().setClock(0, [&] {
        ClockModel clock = tavix.appState().clocks().front();
        clock.countdown->isRunning = true;
        return clock;
    }());
    const auto settle = Clock::now() + std::chrono::milliseconds(500);
    spinUntil([&] { return Clock::now() >= settle; });
    const int before = received;
    const auto window = Clock::now();
    spinUntil([&] { return Clock::now() - window >= std::chrono::seconds(5); });
    std::printf("event messages while a countdown runs: %.1f per second\n", (received - before) / 5.0);

    clientThread.quit();
    clientThread.wait();
    return 0;
}
