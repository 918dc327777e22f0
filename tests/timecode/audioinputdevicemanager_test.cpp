#include "timecode/audioinputdevicemanager.h"

#include "platform/capturequeue.h"
#include "scriptedaudiobackend.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace tavix;
using test::ScriptedAudioBackend;
using test::ScriptedAudioDevice;
using Step = test::ScriptedAudioStep;

namespace {

/// Collects what the capture hands to its client, on the capture's queue.
struct Client {
    std::shared_ptr<CaptureQueue> queue = std::make_shared<CaptureQueue>("test.capture");
    std::mutex mutex;
    std::vector<std::pair<std::uint32_t, std::size_t>> blocks; // frameCount, samples.size()
    AudioBlockHandler handler() {
        return [this](const std::vector<float>& samples, std::uint32_t frames, std::uint32_t, double) {
            std::lock_guard lock(mutex);
            blocks.emplace_back(frames, samples.size());
        };
    }
    std::vector<std::pair<std::uint32_t, std::size_t>> received() {
        queue->sync([] {});
        std::lock_guard lock(mutex);
        return blocks;
    }
};

} // namespace

TEST(ListInputDevices, AFailedListingIsEmptyAndSaysWhyOnce) {
    struct Case {
        std::function<void(ScriptedAudioBackend&)> script;
        QString line;
    };
    const std::vector<Case> cases = {
        {[](auto& audio) { audio.setAccessGranted(false); },
         QStringLiteral(
             "🔒 listInputDevices: the sound server refused access to audio input (no devices listed)")},
        {[](auto& audio) { audio.setStatus(Step::connect, -6); },
         QStringLiteral("⚠️ listInputDevices: couldn't get device list size (-6)")},
        {[](auto& audio) { audio.setDevices({}); },
         QStringLiteral("⚠️ listInputDevices: couldn't get device list size (0)")},
    };
    for (const Case& c : cases) {
        ScriptedAudioBackend audio;
        audio.setDevices({{1, QStringLiteral("Line In"), 2}});
        c.script(audio);
        std::vector<AudioInputDeviceInfo> devices;
        EXPECT_EQ(test::capturedStdoutLines([&] { devices = listInputDevices(audio); }), QStringList{c.line});
        EXPECT_TRUE(devices.empty());
        EXPECT_TRUE(test::capturedStdoutLines([&] { listInputDevicesQuietly(audio); }).isEmpty());
    }
}

TEST(ListInputDevices, ListsSourcesWithChannelsInOrderInOneRoundTrip) {
    ScriptedAudioBackend audio;
    const SourceTraits monitor{true, QString(), PortType::unknown, QString()};
    audio.setDevices({{1, QStringLiteral("Interface"), 8, 48000, test::lineInPort()},
                      {2, QStringLiteral("Output only"), 0},
                      {73, std::nullopt, 1},
                      {75, QStringLiteral("Big"), 64, 48000, monitor}});
    // What the server says about each source travels with it, for the microphone rule.
    const std::vector<AudioInputDeviceInfo> expected = {
        {1, QStringLiteral("Interface"), 8, test::lineInPort()},
        {73, QStringLiteral("Device 73"), 1, {}},
        {75, QStringLiteral("Big"), 64, monitor}};
    EXPECT_EQ(listInputDevices(audio), expected);
    const auto log = audio.callLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), Step::listSources), 1);
}

TEST(AudioInputDeviceManager, AFailedStartPrintsOneLineWithTheStatusAndLeavesNothingRunning) {
    // The rule for every step: a failure prints its line with the status; before a stream exists
    // nothing is torn down, afterwards everything is, silently. Advisory steps only warn.
    struct Case {
        std::function<void(ScriptedAudioBackend&)> script;
        QString lastLine;
        bool capturing;
    };
    const QString capturing =
        QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:44100.0 ch:64");
    const std::vector<Case> cases = {
        {[](auto& audio) { audio.setNewStreamReturnsNothing(true); },
         QStringLiteral("❌ AudioComponentInstanceNew failed 0"), false},
        {[](auto& audio) { audio.setStatus(Step::setSource, -4); },
         QStringLiteral("❌ set current device failed -4"), false},
        {[](auto& audio) {
             audio.setDevices({{73, QStringLiteral("Huge"), 5000}});
         },
         QStringLiteral("❌ set stream format (output/bus1) failed -50"), false},
        {[](auto& audio) { audio.setStatus(Step::startStream, -4); },
         QStringLiteral("❌ AudioOutputUnitStart failed -4"), false},
        {[](auto& audio) { audio.setStatus(Step::setSourceBlockFrames, -3); }, capturing, true},
    };
    const QString advisory = QStringLiteral("⚠️ could not set device buffer frames to 1024: -3");
    for (const Case& c : cases) {
        ScriptedAudioBackend audio;
        audio.setDevices({{73, QStringLiteral("Line In"), 64, 44100}});
        c.script(audio);
        Client client;
        AudioInputDeviceManager manager(audio);
        const QStringList lines =
            test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.last(), c.lastLine);
        EXPECT_EQ(lines.filter(QStringLiteral("❌")).size(), c.capturing ? 0 : 1);
        EXPECT_EQ(lines.contains(advisory), c.capturing);
        EXPECT_EQ(manager.isCapturing(), c.capturing);
        EXPECT_EQ(audio.liveStreamCount(), c.capturing ? 1 : 0);
        if (!c.capturing) {
            EXPECT_EQ(manager.scratchCapacityFrames(), 0);
            EXPECT_TRUE(test::capturedStdoutLines([&] { manager.stop(); }).isEmpty());
        }
    }
}

TEST(AudioInputDeviceManager, AsksForInterleavedFloatAtTheSourceRateAndStopsOnce) {
    ScriptedAudioBackend audio;
    audio.setDevices({{73, QStringLiteral("Line In"), 2}});
    Client client;
    auto manager = std::make_unique<AudioInputDeviceManager>(audio);
    test::capturedStdoutLines([&] { manager->startCapture(73, client.queue, client.handler()); });
    ASSERT_TRUE(manager->isCapturing());
    const SampleSpec expected{SampleFormat::float32, 48000, 2};
    EXPECT_EQ(audio.lastClientSpec(), expected);
    EXPECT_EQ(manager->clientSpec(), expected);
    EXPECT_EQ(manager->scratchCapacityFrames() * manager->bytesPerFrame(), 16384);
    EXPECT_EQ(audio.lastSourceBlockFrames(), 1024u);
    EXPECT_EQ(audio.lastMaximumBlockFrames(), 2048u);

    audio.clearCallLog();
    EXPECT_EQ(test::capturedStdoutLines([&] { manager.reset(); }),
              QStringList{QStringLiteral("🛑 AudioInputDeviceManager: stopped")});
    EXPECT_EQ(audio.callLog(), (std::vector<Step>{Step::stopStream, Step::disconnectStream}));
    EXPECT_EQ(audio.liveStreamCount(), 0);
}

TEST(AudioInputDeviceManager, WithoutAccessNothingStartsAndARunningCaptureIsLeftRunning) {
    ScriptedAudioBackend audio;
    audio.setDevices({{73, QStringLiteral("Line In"), 2}});
    Client client;
    AudioInputDeviceManager manager(audio);
    test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });
    audio.setAccessGranted(false);
    EXPECT_EQ(test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); }),
              QStringList{QStringLiteral(
                  "🔒 startCapture: the sound server refused access to audio input (capture not started)")});
    EXPECT_TRUE(manager.isCapturing());
    EXPECT_EQ(audio.liveStreamCount(), 1);
}

TEST(AudioInputDeviceManager, CallbacksReachTheClientUnlessTooLargeOrUnread) {
    ScriptedAudioBackend audio;
    audio.setDevices({{73, QStringLiteral("Line In"), 2}});
    Client client;
    AudioInputDeviceManager manager(audio);
    test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });

    const QStringList lines = test::capturedStdoutLines([&] {
        audio.deliverCallbacks({512, 4096, 2048, 0});
        client.received();
    });
    EXPECT_EQ(lines, QStringList{QStringLiteral("📡 HAL render callback first fire: bus 1 frames:512")});
    audio.setStatus(Step::read, -1);
    audio.deliverCallbacks({256});
    using Block = std::pair<std::uint32_t, std::size_t>;
    EXPECT_EQ(client.received(), (std::vector<Block>{{512, 1024}, {2048, 4096}, {0, 0}}));
}
