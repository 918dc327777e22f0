// Runs against the private PulseAudio daemon of tests/support/with-pulse.sh (null sinks "ltcout",
// 48 kHz stereo, and "ltcout44", 44.1 kHz mono); skipped without it.
#include "ltcsignal.h"
#include "platform/pulseaudiobackend.h"
#include "testsupport.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>

#include <signal.h>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

// Child processes start through popen rather than QProcess: it spawns without a
// plain fork, which the thread sanitizer cannot follow in a process that already runs threads.

/// Runs `pactl arguments` and returns what it printed.
QString pactl(const QString& arguments) {
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(("pactl " + arguments.toStdString()).c_str(), "r"),
                                                     pclose);
    QByteArray output(4096, '\0');
    output.truncate(pipe ? qsizetype(std::fread(output.data(), 1, output.size(), pipe.get())) : 0);
    return QString::fromUtf8(output).trimmed();
}

/// Plays `signal` into `sink` with pacat, as a timecode source on a line input would arrive, on a
/// thread of its own so that the main thread keeps delivering the runtime's updates.
std::jthread play(const test::LtcSignal& signal, const char* sink, int rate) {
    return std::jthread([samples = signal.samples, sink, rate] {
        const std::string command = std::string("pacat -d ") + sink +
                                    " --format=float32le --rate=" + std::to_string(rate) + " --channels=1";
        FILE* pipe = popen(command.c_str(), "w");
        if (pipe != nullptr) {
            std::fwrite(samples.data(), sizeof(float), samples.size(), pipe);
            pclose(pipe); // returns once pacat has played everything
        }
    });
}

TimecodeSettings settingsFor(const char* sourceName, TimecodeFrameRate rate) {
    return {rate, QString::number(PulseAudioBackend::deviceIdForSourceName(sourceName)), 0};
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
        if (qgetenv("TAVIX_TEST_PULSE_PID").isEmpty()) {
            GTEST_SKIP() << "needs tests/support/with-pulse.sh";
        }
    }
};

TEST_F(PulseLive, ListsEverySourceWithWhatTheServerSaysAboutItAndRefusesItsMicrophones) {
    // Sources whose description and form factor the test sets, as a sound card's driver would:
    // filters over one null source, since only they take source properties.
    QStringList modules = {pactl(u"load-module module-null-source source_name=tavixbase"_s)};
    for (const char* arguments :
         {"source_name=tavixmic \"source_properties=\\\"device.description='Built-in Audio Analog Stereo' "
          "device.form_factor=microphone\\\"\"",
          "source_name=tavixwebcam source_properties=device.form_factor=webcam",
          "source_name=tavixplain \"source_properties=\\\"device.description='Built-in Audio Analog "
          "Stereo'\\\"\""}) {
        modules << pactl(u"load-module module-remap-source master=tavixbase "_s +
                         QString::fromLatin1(arguments));
    }
    ASSERT_FALSE(modules.contains(QString())) << modules.join(u' ').toStdString();
    PulseAudioBackend audio;
    const auto devices = listInputDevices(audio);
    const auto find = [&devices](const char* sourceName) {
        const InputDeviceId id = PulseAudioBackend::deviceIdForSourceName(sourceName);
        const auto it =
            std::find_if(devices.begin(), devices.end(), [id](const auto& d) { return d.deviceID == id; });
        return it == devices.end() ? AudioInputDeviceInfo{} : *it;
    };
    using E = MicrophoneEvidence;
    const std::vector<std::tuple<const char*, const char*, std::uint32_t, bool, E>> expected = {
        {"ltcout.monitor", "Monitor of Null Output", 2, false, E::monitor},
        {"ltcout44.monitor", "Monitor of Null Output", 1, false, E::monitor},
        {"tavixbase", "Null Input", 2, false, E::name},
        {"tavixmic", "Built-in Audio Analog Stereo", 2, true, E::formFactor},
        {"tavixwebcam", "Remapped Null Input", 2, true, E::formFactor},
        {"tavixplain", "Built-in Audio Analog Stereo", 2, false, E::name}};
    EXPECT_EQ(devices.size(), expected.size());
    for (const auto& [sourceName, name, channels, microphone, evidence] : expected) {
        const AudioInputDeviceInfo device = find(sourceName);
        const MicrophoneVerdict verdict = judgeMicrophone(device);
        EXPECT_EQ(std::tuple(device.name, device.inputChannelCount, verdict.isMicrophone, verdict.evidence),
                  std::tuple(QString::fromLatin1(name), channels, microphone, evidence))
            << sourceName;
    }

    std::reverse(modules.begin(), modules.end()); // the filters before their master
    for (const QString& module : modules) {
        pactl(u"unload-module "_s + module);
    }
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
         u"✅ AudioInputDeviceManager: capturing from deviceID 1241085600 • sr:48000.0 ch:2"_s},
        {"ltcout44", "ltcout44.monitor", 44100, TimecodeFrameRate::fps25,
         u"✅ AudioInputDeviceManager: capturing from deviceID 2609877008 • sr:44100.0 ch:1"_s}};
    for (const Case& c : cases) {
        PulseAudioBackend audio;
        TimecodeRuntime runtime;
        TimecodeInputManager manager(&audio, &runtime, settingsFor(c.source, c.frameRate));
        const auto signal = test::makeLtc(c.rate, framesPerSecond(c.frameRate), {11, 22, 33, 0}, 90, -12);
        const QStringList lines = test::capturedStdoutLines([&] {
            test::startSettled(manager);
            std::jthread player = play(signal, c.sink, c.rate);
            // The settings editor lists devices on a thread of its own while capture runs.
            std::atomic<bool> listing = true;
            std::thread lister([&] {
                while (listing) {
                    EXPECT_EQ(listInputDevicesQuietly(audio).size(), 2u);
                }
            });
            EXPECT_TRUE(
                test::waitUntil([&] { return shows(runtime, signal) && runtime.level() > 0.1f; }, 10000))
                << runtime.displayString().toStdString() << " level " << runtime.level();
            listing = false;
            lister.join();
            player.join();
            manager.stop();
        });
        EXPECT_TRUE(lines.contains(c.started)) << lines.join(u'\n').toStdString();
        const QStringList firstFire = lines.filter(u"📡 HAL render callback first fire: bus 1 frames:"_s);
        ASSERT_EQ(firstFire.size(), 1);
        EXPECT_LE(firstFire.front().section(u':', -1).toInt(), 1024);
        EXPECT_EQ(lines.last(), u"🛑 AudioInputDeviceManager: stopped"_s);
        EXPECT_EQ(runtime.level(), 0.0f);
    }
}

namespace {

struct Blocks {
    std::mutex mutex;
    std::vector<std::uint32_t> frames;
    std::vector<std::uint64_t> positions;
    CaptureStream* stream = nullptr;
    std::vector<float> buffer = std::vector<float>(8192);

    static void callback(void* userData, std::uint32_t frameCount, const CaptureTimestamp& time) {
        auto* self = static_cast<Blocks*>(userData);
        const AudioStatus status = self->stream->read(frameCount, self->buffer.data(), self->buffer.size());
        std::lock_guard lock(self->mutex);
        self->frames.push_back(status == kAudioNoError ? frameCount : 0);
        self->positions.push_back(time.framePosition);
    }
};

} // namespace

TEST_F(PulseLive, SplitsLargeReadsIntoBlocksOfTheRequestedSizeAndDropsNothing) {
    PulseAudioBackend audio;
    const InputDeviceId source = PulseAudioBackend::deviceIdForSourceName("ltcout.monitor");
    std::vector<SourceInfo> sources;
    ASSERT_EQ(audio.listSources(sources), kAudioNoError);
    Blocks blocks;
    std::unique_ptr<CaptureStream> stream;
    ASSERT_EQ(audio.newCaptureStream(stream), kAudioNoError);
    blocks.stream = stream.get();
    SampleSpec spec;
    // A 1024-frame fragment cut into blocks of at most 100 frames; a braced list calls in order.
    ASSERT_EQ((std::vector<AudioStatus>{
                  stream->enableRecording(true), stream->setSource(source), stream->sourceSpec(spec),
                  stream->setClientSpec(spec), audio.setSourceBlockFrames(source, 1024),
                  stream->setMaximumBlockFrames(100), stream->setCallback(&Blocks::callback, &blocks),
                  stream->connect(), stream->start()}),
              std::vector<AudioStatus>(9, kAudioNoError));
    test::waitUntil([&] {
        std::lock_guard lock(blocks.mutex);
        return blocks.frames.size() > 200;
    });
    ASSERT_EQ(stream->stop(), kAudioNoError);
    const std::size_t count = [&] {
        std::lock_guard lock(blocks.mutex);
        return blocks.frames.size();
    }();
    test::waitUntil([] { return false; }, 100);
    stream.reset();
    std::lock_guard lock(blocks.mutex);
    // Nothing arrives after stop, every block is read, and each starts where the last one ended.
    EXPECT_EQ(blocks.frames.size(), count);
    ASSERT_GT(count, 200u);
    std::uint64_t expected = blocks.positions.front();
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_TRUE(blocks.frames[i] >= 1 && blocks.frames[i] <= 100) << blocks.frames[i];
        EXPECT_EQ(blocks.positions[i], expected);
        expected += blocks.frames[i];
    }
}

TEST_F(PulseLive, AServerThatRefusesTheClientCountsAsNoAccess) {
    // A TCP listener that wants a cookie we do not have answers "access denied", as a sandbox portal does.
    QTemporaryDir dir;
    const QString serverCookie = dir.filePath(u"server"_s);
    const QString clientCookie = dir.filePath(u"client"_s);
    test::writeFile(serverCookie, QByteArray(256, 'a'));
    test::writeFile(clientCookie, QByteArray(256, 'b'));
    QString port;
    QString module;
    for (int attempt = 0; attempt < 20 && module.isEmpty(); ++attempt) {
        port = QString::number(QRandomGenerator::global()->bounded(40000, 60000));
        module = pactl(u"load-module module-native-protocol-tcp port=%1 listen=127.0.0.1 auth-anonymous=0 "
                       u"auth-cookie-enabled=1 auth-cookie=%2"_s.arg(port, serverCookie));
    }
    ASSERT_FALSE(module.isEmpty());
    const QByteArray savedServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "tcp:127.0.0.1:" + port.toLatin1());
    qputenv("PULSE_COOKIE", clientCookie.toLocal8Bit());
    {
        PulseAudioBackend audio;
        EXPECT_EQ(audio.inputAccess(), InputAccess::refused);
        EXPECT_EQ(
            test::capturedStdoutLines([&] { listInputDevices(audio); }),
            QStringList{
                u"🔒 listInputDevices: the sound server refused access to audio input (no devices listed)"_s});
    }
    // An empty PULSE_SERVER is not the same as none: it would cut the later tests off the server.
    savedServer.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", savedServer);
    qunsetenv("PULSE_COOKIE");
    pactl(u"unload-module "_s + module);
}

// Decoding across a lost source, and one line for each loss and each return, are the sound-server
// drill's business; here the server's own news of the source going and coming must bring capture
// back, with the retry timer out of the way (the drill's returns may come from the retry).
TEST_F(PulseLive, ALostSourceIsAnnouncedOnceAndCaptureResumesOnTheServersNews) {
    const QString load = u"load-module module-null-sink sink_name=ltcloss rate=48000 channels=1"_s;
    PulseAudioBackend audio;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&audio, &runtime, settingsFor("ltcloss.monitor", TimecodeFrameRate::fps25));
    manager.setRetryIntervalMs(3600 * 1000);
    test::capturedStdoutLines([&] {
        test::startSettled(manager);
        EXPECT_TRUE(manager.isRetrying()) << "named before it exists";
        for (int round = 0; round < 2; ++round) {
            const QString module = pactl(load);
            EXPECT_TRUE(test::waitUntil([&] { return manager.isCapturing(); }, 10000)) << round;
            pactl(u"unload-module "_s + module);
            EXPECT_TRUE(test::waitUntil([&] { return manager.isRetrying(); }, 10000)) << round;
        }
        EXPECT_EQ(runtime.level(), 0.0f);
        manager.stop();
    });
}

TEST_F(PulseLive, AHungServerNeverHoldsUpTheMainThreadAndCaptureResumesWhenItAnswers) {
    const auto daemon = pid_t(qEnvironmentVariableIntValue("TAVIX_TEST_PULSE_PID"));
    PulseAudioBackend audio;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&audio, &runtime, settingsFor("ltcout.monitor", TimecodeFrameRate::fps25));
    manager.setRetryIntervalMs(200);
    test::capturedStdoutLines([&] { test::startSettled(manager); });
    ASSERT_TRUE(manager.isCapturing());
    // A timer on the main thread stands for the clocks' ticks.
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&ticks] { ++ticks; });
    tick.start(20);
    struct Resume {
        pid_t pid;
        ~Resume() { ::kill(pid, SIGCONT); } // whatever happens below, the daemon runs on afterwards
    } resume{daemon};

    const QStringList lines = test::capturedStdoutLines([&] {
        ASSERT_EQ(::kill(daemon, SIGSTOP), 0);
        // The running capture receives nothing more: said once, and the capture is kept.
        EXPECT_TRUE(test::waitUntil([&] { return manager.isStalled(); }, 10000));
        // A restart lists again, on the pool: the listing waits for the server until its timeout
        // while the main thread goes on serving its timers.
        const int before = ticks;
        manager.stop();
        manager.start();
        EXPECT_TRUE(manager.isListing());
        EXPECT_TRUE(test::waitUntil([&] { return !manager.isListing(); }, 20000));
        EXPECT_GE(ticks - before, 20) << "the main thread was held up while the server hung";
        ::kill(daemon, SIGCONT);
        EXPECT_TRUE(test::waitUntil([&] { return manager.isCapturing(); }, 20000));
        manager.stop();
    });
    EXPECT_EQ(
        lines.count(u"⚠️ TimecodeInputManager: no audio from deviceID 1241085600 for 2 s; the sound "
                    u"server does not answer"_s),
        1)
        << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines.contains(u"⚠️ listInputDevices: the sound server does not answer (-8)"_s));
    EXPECT_EQ(lines.filter(u"✅"_s).size(), 1);
}
