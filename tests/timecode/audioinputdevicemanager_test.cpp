#include "timecode/audioinputdevicemanager.h"

#include "platform/scriptedaudiohal.h"
#include "platform/serialqueue.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace tavix;
using Step = ScriptedAudioStep;

namespace {

ScriptedAudioDevice device(std::uint32_t id, const char* name, std::vector<std::uint32_t> streams,
                           double rate = 48000) {
    return ScriptedAudioDevice{id, QString::fromUtf8(name), std::move(streams), rate};
}

/// Collects what the capture hands to its client, on the capture's queue.
struct Client {
    std::shared_ptr<SerialQueue> queue = std::make_shared<SerialQueue>("test.capture");
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

TEST(ListInputDevices, EveryFailureGivesAnEmptyListAndItsLine) {
    struct Case {
        const char* name;
        std::function<void(ScriptedAudioHal&)> script;
        QString line;
    };
    const std::vector<Case> cases = {
        {"no access", [](auto& hal) { hal.setAccessGranted(false); },
         QStringLiteral("🔒 listInputDevices: microphone not authorized (no devices listed). Call "
                        "requestAuthorization() first.")},
        {"no devices", [](auto& hal) { hal.setDevices({}); },
         QStringLiteral("⚠️ listInputDevices: couldn't get device list size (0)")},
        {"size fails", [](auto& hal) { hal.setStatus(Step::deviceListSize, -6); },
         QStringLiteral("⚠️ listInputDevices: couldn't get device list size (-6)")},
        {"list fails", [](auto& hal) { hal.setStatus(Step::deviceList, -7); },
         QStringLiteral("⚠️ listInputDevices: couldn't get device list (-7)")},
    };
    for (const Case& c : cases) {
        ScriptedAudioHal hal;
        hal.setDevices({device(1, "Line In", {2})});
        c.script(hal);
        std::vector<AudioInputDeviceInfo> devices;
        const QStringList lines = test::capturedStdoutLines([&] { devices = listInputDevices(hal); });
        EXPECT_TRUE(devices.empty()) << c.name;
        EXPECT_EQ(lines, QStringList{c.line}) << c.name;
        EXPECT_TRUE(listInputDevicesQuietly(hal).empty()) << c.name;
    }
}

TEST(ListInputDevices, ListsDevicesWithInputChannelsInOrderAndSkipsTheRest) {
    ScriptedAudioHal hal;
    auto noName = device(73, "", {1});
    noName.name.reset();
    auto nameFails = device(74, "Unreadable", {2});
    nameFails.nameStatus = -1;
    auto shortConfiguration = device(3, "Short", {2});
    shortConfiguration.configurationByteSize = 23;
    auto sizeFails = device(4, "Size fails", {2});
    sizeFails.configurationSizeStatus = -1;
    auto readFails = device(5, "Read fails", {2});
    readFails.configurationStatus = -1;
    // The list claims two buffers but the bytes hold one: only what is there is read.
    auto overclaiming = device(6, "Cut short", {2, 6});
    overclaiming.configurationByteSize = 24;
    hal.setDevices({device(1, "Interface", {2, 6}), device(2, "Output only", {}), device(7, "Zero", {0, 0}),
                    shortConfiguration, sizeFails, readFails, noName, nameFails, overclaiming,
                    device(75, "Big", {64})});
    const QStringList lines = test::capturedStdoutLines([&] {
        const std::vector<AudioInputDeviceInfo> expected = {
            {1, QStringLiteral("Interface"), 8},  {73, QStringLiteral("Device 73"), 1},
            {74, QStringLiteral("Device 74"), 2}, {6, QStringLiteral("Cut short"), 2},
            {75, QStringLiteral("Big"), 64},
        };
        EXPECT_EQ(listInputDevices(hal), expected);
    });
    EXPECT_TRUE(lines.isEmpty()) << lines.join(u'\n').toStdString();
}

TEST(AudioInputDeviceManager, EachFailingStepPrintsItsLineAndLeavesNothingRunning) {
    struct Case {
        Step step;
        QString line;
        bool unitMade;
    };
    const std::vector<Case> cases = {
        {Step::findComponent, QStringLiteral("❌ HALOutput component not found"), false},
        {Step::newUnit, QStringLiteral("❌ AudioComponentInstanceNew failed -4"), false},
        {Step::enableInput, QStringLiteral("❌ enable input (bus1) failed -4"), true},
        {Step::enableOutput, QStringLiteral("❌ disable output (bus0) failed -4"), true},
        {Step::setCurrentDevice, QStringLiteral("❌ set current device failed -4"), true},
        {Step::getDeviceFormat, QStringLiteral("❌ get stream format (input/bus1) failed -4"), true},
        {Step::setClientFormat, QStringLiteral("❌ set stream format (output/bus1) failed -4"), true},
        {Step::setInputCallback, QStringLiteral("❌ set input callback failed -4"), true},
        {Step::initializeUnit, QStringLiteral("❌ AudioUnitInitialize failed -4"), true},
        {Step::startUnit, QStringLiteral("❌ AudioOutputUnitStart failed -4"), true},
    };
    for (const Case& c : cases) {
        ScriptedAudioHal hal;
        hal.setDevices({device(73, "Line In", {2})});
        hal.setStatus(c.step, -4);
        Client client;
        AudioInputDeviceManager manager(hal);
        const QStringList lines =
            test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.last(), c.line);
        EXPECT_FALSE(manager.isCapturing());
        EXPECT_FALSE(manager.hasAudioUnit());
        EXPECT_EQ(hal.liveUnitCount(), 0);
        // Before a unit exists nothing is torn down, so the handler stays; afterwards all is cleared.
        EXPECT_EQ(manager.hasClientHandler(), !c.unitMade) << lines.last().toStdString();
        EXPECT_EQ(manager.scratchCapacityFrames(), 0);
        if (c.unitMade) {
            const auto log = hal.callLog();
            const std::vector<Step> tail(log.end() - 3, log.end());
            EXPECT_EQ(tail, (std::vector<Step>{Step::stopUnit, Step::uninitializeUnit, Step::disposeUnit}));
        }
        EXPECT_TRUE(test::capturedStdoutLines([&] { manager.stop(); }).isEmpty());
    }
}

TEST(AudioInputDeviceManager, AdvisoryFailuresAndAMissingInstanceReadAsWritten) {
    struct Case {
        std::function<void(ScriptedAudioHal&)> script;
        QStringList lines;
    };
    const QString using73 = QStringLiteral("🔧 HAL using deviceID 73 (set as CurrentDevice)");
    const QString capturing =
        QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:44100.0 ch:64");
    const std::vector<Case> cases = {
        {[](auto&) {}, {using73, capturing}},
        {[](auto& hal) { hal.setStatus(Step::deviceBufferFrameSize, -3); },
         {using73, QStringLiteral("⚠️ could not set device buffer frames to 1024: -3"), capturing}},
        {[](auto& hal) { hal.setStatus(Step::setMaximumFramesPerSlice, -3); },
         {using73, QStringLiteral("⚠️ set MaxFramesPerSlice(2048) failed -3"), capturing}},
        {[](auto& hal) { hal.setComponentMissing(true); },
         {QStringLiteral("❌ HALOutput component not found")}},
        {[](auto& hal) { hal.setNewUnitReturnsNothing(true); },
         {QStringLiteral("❌ AudioComponentInstanceNew failed 0")}},
        {[](auto& hal) { hal.setDevices({device(73, "Huge", {5000})}); },
         {using73, QStringLiteral("❌ set stream format (output/bus1) failed -50")}},
    };
    for (const Case& c : cases) {
        ScriptedAudioHal hal;
        hal.setDevices({device(73, "Line In", {64}, 44100)});
        c.script(hal);
        Client client;
        AudioInputDeviceManager manager(hal);
        EXPECT_EQ(
            test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); }),
            c.lines);
        EXPECT_EQ(manager.isCapturing(), c.lines.last() == capturing);
    }
}

TEST(AudioInputDeviceManager, AsksForInterleavedFloatAtTheDeviceRateAndStopsOnce) {
    ScriptedAudioHal hal;
    hal.setDevices({device(73, "Line In", {2})});
    Client client;
    auto manager = std::make_unique<AudioInputDeviceManager>(hal);
    test::capturedStdoutLines([&] { manager->startCapture(73, client.queue, client.handler()); });
    ASSERT_TRUE(manager->isCapturing());
    AudioStreamBasicDescription expected{48000, kAudioFormatLinearPCM, 9, 8, 1, 8, 2, 32, 0};
    EXPECT_EQ(hal.lastClientFormat(), expected);
    EXPECT_EQ(manager->streamFormat(), expected);
    EXPECT_EQ(manager->scratchCapacityFrames() * manager->bytesPerFrame(), 16384);
    EXPECT_EQ(hal.lastDeviceBufferFrames(), 1024u);
    EXPECT_EQ(hal.lastMaximumFramesPerSlice(), 2048u);

    hal.clearCallLog();
    EXPECT_EQ(test::capturedStdoutLines([&] { manager.reset(); }),
              QStringList{QStringLiteral("🛑 AudioInputDeviceManager: stopped")});
    EXPECT_EQ(hal.callLog(), (std::vector<Step>{Step::stopUnit, Step::uninitializeUnit, Step::disposeUnit}));
}

TEST(AudioInputDeviceManager, WithoutAccessNothingStartsAndARunningCaptureIsLeftRunning) {
    ScriptedAudioHal hal;
    hal.setDevices({device(73, "Line In", {2})});
    Client client;
    AudioInputDeviceManager manager(hal);
    test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });
    hal.setAccessGranted(false);
    EXPECT_EQ(test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); }),
              QStringList{QStringLiteral(
                  "🔒 startCapture: microphone not authorized. Call requestAuthorization() first.")});
    EXPECT_TRUE(manager.isCapturing());
    EXPECT_EQ(hal.liveUnitCount(), 1);
}

TEST(AudioInputDeviceManager, CallbacksReachTheClientUnlessTooLargeOrUnrendered) {
    ScriptedAudioHal hal;
    hal.setDevices({device(73, "Line In", {2})});
    Client client;
    AudioInputDeviceManager manager(hal);
    test::capturedStdoutLines([&] { manager.startCapture(73, client.queue, client.handler()); });

    QStringList lines = test::capturedStdoutLines([&] { hal.deliverInputCallbacks({512, 4096, 2048, 0}); });
    EXPECT_EQ(lines, QStringList{QStringLiteral("📡 HAL render callback first fire: bus 1 frames:512")});
    hal.setStatus(Step::render, -1);
    hal.deliverInputCallbacks({256});
    using Block = std::pair<std::uint32_t, std::size_t>;
    EXPECT_EQ(client.received(), (std::vector<Block>{{512, 1024}, {2048, 4096}, {0, 0}}));
}
