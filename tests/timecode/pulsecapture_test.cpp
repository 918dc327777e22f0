// Runs against the private PulseAudio daemon of tests/support/with-pulse.sh (null sinks "ltcout",
// 48 kHz stereo, and "ltcout44", 44.1 kHz mono); skipped without it.
#include "ltcsignal.h"
#include "platform/pulseaudiohal.h"
#include "testsupport.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>

using namespace tavix;

namespace {

bool haveDaemon() {
    return !qgetenv("TAVIX_TEST_PULSE_PID").isEmpty();
}

// Child processes start through popen rather than QProcess: it spawns without a
// plain fork, which the thread sanitizer cannot follow in a process that already runs threads.

/// Runs `pactl arguments` and returns what it printed.
QString pactl(const QString& arguments) {
    FILE* pipe = popen(("pactl " + arguments.toStdString()).c_str(), "r");
    QByteArray output;
    char buffer[256];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return QString::fromUtf8(output).trimmed();
}

/// Plays `signal` into `sink` with pacat, as a timecode source on a line input would arrive, on a
/// thread of its own so that the main thread keeps delivering the runtime's updates.
class Player {
public:
    Player(const test::LtcSignal& signal, const char* sink, int rate)
        : m_thread([samples = signal.samples, sink, rate] {
              const std::string command = std::string("pacat -d ") + sink +
                                          " --format=float32le --rate=" + std::to_string(rate) +
                                          " --channels=1";
              FILE* pipe = popen(command.c_str(), "w");
              if (pipe != nullptr) {
                  std::fwrite(samples.data(), sizeof(float), samples.size(), pipe);
                  pclose(pipe); // returns once pacat has played everything
              }
          }) {}
    ~Player() { finish(); }
    void finish() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }

private:
    std::thread m_thread;
};

TimecodeSettings settingsFor(const char* sourceName, TimecodeFrameRate rate) {
    return {rate, QString::number(PulseAudioHal::deviceIDForSourceName(sourceName)), 0};
}

bool shows(const TimecodeRuntime& runtime, const test::LtcSignal& signal) {
    const TimecodeRuntime::Time t = runtime.liveTime();
    return std::find(signal.frames.begin(), signal.frames.end(),
                     DecodedTimecode{t.hours, t.minutes, t.seconds, t.frames}) != signal.frames.end();
}

} // namespace

class PulseLive : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveDaemon()) {
            GTEST_SKIP() << "needs tests/support/with-pulse.sh";
        }
    }
};

TEST_F(PulseLive, ListsEverySourceWithItsDescriptionChannelsAndNameDerivedId) {
    PulseAudioHal hal;
    const auto devices = listInputDevices(hal);
    const std::vector<AudioInputDeviceInfo> expected = {
        {1241085600u, QStringLiteral("Monitor of Null Output"), 2},
        {2609877008u, QStringLiteral("Monitor of Null Output"), 1},
    };
    EXPECT_EQ(devices, expected);
}

TEST_F(PulseLive, DecodesLtcPlayedIntoTheSinkThroughTheRealCapturePath) {
    struct Case {
        const char* sink;
        const char* source;
        int rate;
        TimecodeFrameRate frameRate;
        QString started;
    };
    const std::vector<Case> cases = {
        {"ltcout", "ltcout.monitor", 48000, TimecodeFrameRate::fps30,
         QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 1241085600 • sr:48000.0 ch:2")},
        {"ltcout44", "ltcout44.monitor", 44100, TimecodeFrameRate::fps25,
         QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 2609877008 • sr:44100.0 ch:1")},
    };
    for (const Case& c : cases) {
        PulseAudioHal hal;
        TimecodeRuntime runtime;
        TimecodeInputManager manager(&hal, &runtime, settingsFor(c.source, c.frameRate));
        const auto signal = test::makeLtc(c.rate, framesPerSecond(c.frameRate), {11, 22, 33, 0}, 90, -12);
        const QStringList lines = test::capturedStdoutLines([&] {
            manager.start();
            Player player(signal, c.sink, c.rate);
            // The settings editor lists devices on a thread of its own while capture runs.
            std::atomic<bool> listing = true;
            std::thread lister([&] {
                while (listing) {
                    EXPECT_EQ(listInputDevicesQuietly(hal).size(), 2u);
                }
            });
            EXPECT_TRUE(
                test::waitUntil([&] { return shows(runtime, signal) && runtime.level() > 0.1f; }, 10000))
                << runtime.displayString().toStdString() << " level " << runtime.level();
            listing = false;
            lister.join();
            player.finish();
            manager.stop();
        });
        EXPECT_TRUE(lines.contains(c.started)) << lines.join(u'\n').toStdString();
        const QStringList firstFire =
            lines.filter(QStringLiteral("📡 HAL render callback first fire: bus 1 frames:"));
        ASSERT_EQ(firstFire.size(), 1);
        EXPECT_LE(firstFire.front().section(u':', -1).toInt(), 1024);
        EXPECT_EQ(lines.last(), QStringLiteral("🛑 AudioInputDeviceManager: stopped"));
        EXPECT_EQ(runtime.level(), 0.0f);
    }
}

namespace {

struct Blocks {
    std::mutex mutex;
    std::vector<std::uint32_t> frames;
    std::vector<double> sampleTimes;
    AudioHal* hal = nullptr;
    AudioUnitInstance* unit = nullptr;
    std::vector<float> buffer = std::vector<float>(8192);

    static AudioStatus callback(void* refCon, AudioRenderActionFlags* flags, const AudioTimeStamp* stamp,
                                std::uint32_t bus, std::uint32_t frameCount, AudioBufferList*) {
        auto* self = static_cast<Blocks*>(refCon);
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0] = {2, std::uint32_t(self->buffer.size() * sizeof(float)), self->buffer.data()};
        const AudioStatus status = self->hal->render(self->unit, flags, stamp, bus, frameCount, &list);
        std::lock_guard lock(self->mutex);
        self->frames.push_back(status == kAudioNoError ? frameCount : 0);
        self->sampleTimes.push_back(stamp->mSampleTime);
        return kAudioNoError;
    }
};

} // namespace

TEST_F(PulseLive, SplitsLargeReadsIntoBlocksOfTheRequestedSizeAndDropsNothing) {
    PulseAudioHal hal;
    const AudioDeviceID source = PulseAudioHal::deviceIDForSourceName("ltcout.monitor");
    Blocks blocks;
    blocks.hal = &hal;
    AudioComponentRef component = nullptr;
    ASSERT_EQ(hal.findCaptureComponent(component), kAudioNoError);
    ASSERT_EQ(hal.newUnit(component, blocks.unit), kAudioNoError);
    AudioStreamBasicDescription format;
    ASSERT_EQ(hal.enableInput(blocks.unit, 1), kAudioNoError);
    ASSERT_EQ(hal.setCurrentDevice(blocks.unit, source), kAudioNoError);
    ASSERT_EQ(hal.getDeviceFormat(blocks.unit, format), kAudioNoError);
    ASSERT_EQ(hal.setClientFormat(blocks.unit, format), kAudioNoError);
    // A 1024-frame fragment cut into slices of at most 100 frames.
    ASSERT_EQ(hal.setDeviceBufferFrameSize(source, 1024), kAudioNoError);
    ASSERT_EQ(hal.setMaximumFramesPerSlice(blocks.unit, 100), kAudioNoError);
    ASSERT_EQ(hal.setInputCallback(blocks.unit, &Blocks::callback, &blocks), kAudioNoError);
    ASSERT_EQ(hal.initializeUnit(blocks.unit), kAudioNoError);
    ASSERT_EQ(hal.startUnit(blocks.unit), kAudioNoError);
    test::waitUntil([&] {
        std::lock_guard lock(blocks.mutex);
        return blocks.frames.size() > 200;
    });
    ASSERT_EQ(hal.stopUnit(blocks.unit), kAudioNoError);
    std::size_t count = 0;
    {
        std::lock_guard lock(blocks.mutex);
        count = blocks.frames.size();
    }
    test::waitUntil([] { return false; }, 100);
    hal.uninitializeUnit(blocks.unit);
    hal.disposeUnit(blocks.unit);
    std::lock_guard lock(blocks.mutex);
    // Nothing arrives after stop, every block rendered, and each starts where the last one ended.
    EXPECT_EQ(blocks.frames.size(), count);
    ASSERT_GT(count, 200u);
    double expectedTime = blocks.sampleTimes.front();
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_GE(blocks.frames[i], 1u);
        EXPECT_LE(blocks.frames[i], 100u);
        EXPECT_EQ(blocks.sampleTimes[i], expectedTime);
        expectedTime += blocks.frames[i];
    }
}

TEST_F(PulseLive, AServerThatRefusesTheClientCountsAsNoAccess) {
    // A TCP listener that wants a cookie we do not have answers "access denied", as a sandbox portal does.
    QTemporaryDir dir;
    const QString serverCookie = dir.filePath(QStringLiteral("server"));
    const QString clientCookie = dir.filePath(QStringLiteral("client"));
    for (const QString& path : {serverCookie, clientCookie}) {
        QByteArray bytes(256, 0);
        for (char& b : bytes) {
            b = char(QRandomGenerator::global()->bounded(256));
        }
        test::writeFile(path, bytes);
    }
    QString port;
    QString module;
    for (int attempt = 0; attempt < 20 && module.isEmpty(); ++attempt) {
        port = QString::number(QRandomGenerator::global()->bounded(40000, 60000));
        module = pactl(QStringLiteral("load-module module-native-protocol-tcp port=%1 listen=127.0.0.1 "
                                      "auth-anonymous=0 auth-cookie-enabled=1 auth-cookie=%2")
                           .arg(port, serverCookie));
    }
    ASSERT_FALSE(module.isEmpty());
    const std::optional<QByteArray> savedServer =
        qEnvironmentVariableIsSet("PULSE_SERVER") ? std::optional(qgetenv("PULSE_SERVER")) : std::nullopt;
    qputenv("PULSE_SERVER", "tcp:127.0.0.1:" + port.toLatin1());
    qputenv("PULSE_COOKIE", clientCookie.toLocal8Bit());
    {
        PulseAudioHal hal;
        EXPECT_EQ(hal.authorizationStatus(), AudioAuthorizationStatus::denied);
        EXPECT_EQ(
            test::capturedStdoutLines([&] { listInputDevices(hal); }),
            QStringList{QStringLiteral("🔒 listInputDevices: microphone not authorized (no devices listed). "
                                       "Call requestAuthorization() first.")});
    }
    // An empty PULSE_SERVER is not the same as none: it would cut the later tests off the server.
    if (savedServer) {
        qputenv("PULSE_SERVER", *savedServer);
    } else {
        qunsetenv("PULSE_SERVER");
    }
    qunsetenv("PULSE_COOKIE");
    pactl(QStringLiteral("unload-module ") + module);
}

TEST_F(PulseLive, ALostSourceIsAnnouncedOnceAndCaptureResumesWhenItReturns) {
    const QString load =
        QStringLiteral("load-module module-null-sink sink_name=ltcloss rate=48000 channels=1");
    QString module = pactl(load);
    ASSERT_FALSE(module.isEmpty());
    PulseAudioHal hal;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&hal, &runtime, settingsFor("ltcloss.monitor", TimecodeFrameRate::fps25));
    manager.setRetryIntervalMs(100);
    test::capturedStdoutLines([&] { manager.start(); });
    ASSERT_TRUE(manager.isCapturing());
    const auto before = test::makeLtc(48000, 25, {1, 0, 0, 0}, 50, -6);
    auto player = std::make_unique<Player>(before, "ltcloss", 48000);
    ASSERT_TRUE(test::waitUntil([&] { return shows(runtime, before); }, 10000));
    player->finish();
    // The signal stops while capture goes on: NO LTC over the last time.
    EXPECT_TRUE(test::waitUntil([&] { return runtime.showsNoTimecode(); }, 5000));
    const TimecodeRuntime::Time kept = runtime.liveTime();

    QStringList lines = test::capturedStdoutLines([&] {
        pactl(QStringLiteral("unload-module ") + module);
        EXPECT_TRUE(test::waitUntil([&] { return manager.isRetrying(); }, 5000));
        test::waitUntil([] { return false; }, 500);
    });
    EXPECT_EQ(lines.filter(QStringLiteral("⚠️")).size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_EQ(runtime.level(), 0.0f);
    EXPECT_EQ(runtime.liveTime(), kept);

    const auto after = test::makeLtc(48000, 25, {2, 0, 0, 0}, 75, -6);
    lines = test::capturedStdoutLines([&] {
        module = pactl(load);
        EXPECT_TRUE(test::waitUntil([&] { return manager.isCapturing(); }, 5000));
        player = std::make_unique<Player>(after, "ltcloss", 48000);
        EXPECT_TRUE(test::waitUntil([&] { return shows(runtime, after); }, 10000));
        EXPECT_FALSE(runtime.showsNoTimecode());
        player->finish();
    });
    EXPECT_EQ(lines.filter(QStringLiteral("✅")).size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("⚠️")).isEmpty());
    test::capturedStdoutLines([&] { manager.stop(); });
    pactl(QStringLiteral("unload-module ") + module);
}
