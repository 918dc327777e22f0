#include "timecode/audioinputdevicemanager.h"

#include "platform/capturequeue.h"
#include "scriptedaudiobackend.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace tavix;
using namespace Qt::StringLiterals;
using test::ScriptedAudioBackend;
using Step = test::ScriptedAudioStep;

namespace {

using Block = std::pair<std::uint32_t, std::size_t>; // frameCount, samples.size()

/// A capture of a scripted source whose client collects what it is handed, on the capture's queue.
struct Capture {
    std::mutex mutex;
    std::vector<Block> blocks;
    ScriptedAudioBackend audio;
    std::shared_ptr<CaptureQueue> queue = std::make_shared<CaptureQueue>("test.capture");
    std::unique_ptr<AudioInputDeviceManager> manager = std::make_unique<AudioInputDeviceManager>(audio);

    explicit Capture(test::ScriptedAudioDevice device = {73, u"Line In"_s, 2}) { audio.setDevices({device}); }
    QStringList start() {
        return test::capturedStdoutLines([&] {
            manager->startCapture(
                73, queue,
                [this](const std::vector<float>& samples, std::uint32_t frames, std::uint32_t, double) {
                    std::lock_guard lock(mutex);
                    blocks.emplace_back(frames, samples.size());
                });
        });
    }
    std::vector<Block> received() {
        queue->sync([] {});
        std::lock_guard lock(mutex);
        return blocks;
    }
};

} // namespace

TEST(ListInputDevices, AFailedListingIsEmptyAndSaysWhyOnce) {
    // A refusing server is the live sound-server test's case.
    const std::vector<std::pair<std::function<void(ScriptedAudioBackend&)>, QString>> cases = {
        {[](auto& audio) { audio.setStatus(Step::connect, -6); },
         u"⚠️ listInputDevices: couldn't get device list size (-6)"_s},
        {[](auto& audio) { audio.setDevices({}); },
         u"⚠️ listInputDevices: couldn't get device list size (0)"_s}};
    for (const auto& [script, line] : cases) {
        ScriptedAudioBackend audio;
        audio.setDevices({{1, u"Line In"_s, 2}});
        script(audio);
        std::vector<AudioInputDeviceInfo> devices{{}};
        EXPECT_EQ(test::capturedStdoutLines([&] { devices = listInputDevices(audio); }), QStringList{line});
        EXPECT_TRUE(devices.empty());
        EXPECT_TRUE(test::capturedStdoutLines([&] { listInputDevicesQuietly(audio); }).isEmpty());
    }
}

TEST(ListInputDevices, ListsSourcesWithChannelsInOrderInOneRoundTrip) {
    ScriptedAudioBackend audio;
    const SourceTraits monitor{true, QString(), PortType::unknown, QString()};
    audio.setDevices({{1, u"Interface"_s, 8, 48000, test::lineInPort()},
                      {2, u"Output only"_s, 0},
                      {73, std::nullopt, 1},
                      {75, u"Big"_s, 64, 48000, monitor}});
    // What the server says about each source travels with it, for the microphone rule.
    const std::vector<AudioInputDeviceInfo> expected = {
        {1, u"Interface"_s, 8, test::lineInPort()}, {73, u"Device 73"_s, 1, {}}, {75, u"Big"_s, 64, monitor}};
    EXPECT_EQ(listInputDevices(audio), expected);
    const auto log = audio.callLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), Step::listSources), 1);
}

TEST(AudioInputDeviceManager, AFailedStartPrintsOneLineWithTheStatusAndLeavesNothingRunning) {
    // The rule for every step, shown before and after the stream exists: a failure prints its line with
    // the status; before a stream exists nothing is torn down, afterwards everything is, silently.
    // Advisory steps only warn.
    const std::vector<std::tuple<std::function<void(ScriptedAudioBackend&)>, QString, bool>> cases = {
        {[](auto& audio) { audio.setNewStreamReturnsNothing(true); },
         u"❌ AudioComponentInstanceNew failed 0"_s, false},
        {[](auto& audio) {
             audio.setDevices({{73, u"Huge"_s, 5000}});
         },
         u"❌ set stream format (output/bus1) failed -50"_s, false},
        {[](auto& audio) { audio.setStatus(Step::setSourceBlockFrames, -3); },
         u"✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:44100.0 ch:64"_s, true}};
    const QString advisory = u"⚠️ could not set device buffer frames to 1024: -3"_s;
    for (const auto& [script, lastLine, capturing] : cases) {
        Capture capture({73, u"Line In"_s, 64, 44100});
        script(capture.audio);
        const QStringList lines = capture.start();
        ASSERT_FALSE(lines.isEmpty());
        // The last line, failure lines, the advisory warning, whether capturing, streams alive.
        EXPECT_EQ(std::tuple(lines.last(), lines.filter(u"❌"_s).size(), lines.contains(advisory),
                             capture.manager->isCapturing(), capture.audio.liveStreamCount()),
                  std::tuple(lastLine, capturing ? 0 : 1, capturing, capturing, capturing ? 1 : 0));
        if (!capturing) {
            EXPECT_EQ(capture.manager->scratchCapacityFrames(), 0);
            EXPECT_TRUE(test::capturedStdoutLines([&] { capture.manager->stop(); }).isEmpty());
        }
    }
}

TEST(AudioInputDeviceManager, AsksForInterleavedFloatAtTheSourceRateAndStopsOnce) {
    Capture capture;
    capture.start();
    ASSERT_TRUE(capture.manager->isCapturing());
    EXPECT_EQ(capture.audio.lastClientSpec(), (SampleSpec{SampleFormat::float32, 48000, 2}));
    // A stream never hands over more than the scratch buffer holds.
    EXPECT_EQ(capture.audio.lastMaximumBlockFrames(),
              std::uint32_t(capture.manager->scratchCapacityFrames()));

    // Without access nothing new starts, and the running capture is left running.
    capture.audio.setAccessGranted(false);
    EXPECT_EQ(capture.start(), QStringList{u"🔒 startCapture: the sound server refused access to audio input "
                                           u"(capture not started)"_s});
    EXPECT_TRUE(capture.manager->isCapturing());
    EXPECT_EQ(capture.audio.liveStreamCount(), 1);

    capture.audio.clearCallLog();
    EXPECT_EQ(test::capturedStdoutLines([&] { capture.manager.reset(); }),
              QStringList{u"🛑 AudioInputDeviceManager: stopped"_s});
    EXPECT_EQ(capture.audio.callLog(), (std::vector<Step>{Step::stopStream, Step::disconnectStream}));
    EXPECT_EQ(capture.audio.liveStreamCount(), 0);
}

TEST(AudioInputDeviceManager, CallbacksReachTheClientUnlessTooLargeOrUnread) {
    Capture capture;
    capture.start();
    const QStringList lines = test::capturedStdoutLines([&] {
        capture.audio.deliverCallbacks({512, 4096, 2048, 0});
        capture.received();
    });
    EXPECT_EQ(lines, QStringList{u"📡 HAL render callback first fire: bus 1 frames:512"_s});
    capture.audio.setStatus(Step::read, -1);
    capture.audio.deliverCallbacks({256});
    EXPECT_EQ(capture.received(), (std::vector<Block>{{512, 1024}, {2048, 4096}, {0, 0}}));
}
