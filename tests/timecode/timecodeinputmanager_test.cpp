#include "timecode/timecodeinputmanager.h"

#include "ltcsignal.h"
#include "platform/scriptedaudiohal.h"
#include "testsupport.h"
#include "timecode/timecoderuntime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace tavix;

namespace {

TimecodeSettings settingsFor(const char* deviceID, std::int64_t channel = 0,
                             TimecodeFrameRate rate = TimecodeFrameRate::fps25) {
    return TimecodeSettings{rate, QString::fromLatin1(deviceID), channel};
}

/// A scripted two-channel interface whose channels carry constant values.
struct Rig {
    ScriptedAudioHal hal;
    TimecodeRuntime runtime;
    std::unique_ptr<TimecodeInputManager> manager;

    explicit Rig(TimecodeSettings settings, std::uint32_t channels = 2) {
        hal.setDevices({ScriptedAudioDevice{73, QStringLiteral("Line In"), {channels}}});
        manager = std::make_unique<TimecodeInputManager>(&hal, &runtime, std::move(settings));
    }
    void constantChannels(std::vector<float> values) {
        hal.setSampleSource(
            [values](std::uint64_t, std::uint32_t frames, std::uint32_t channels, float* out) {
                for (std::uint32_t i = 0; i < frames; ++i) {
                    for (std::uint32_t c = 0; c < channels && c < values.size(); ++c) {
                        out[i * channels + c] = values[c];
                    }
                }
            });
    }
    /// Waits for `count` more device listings, that is for that many retries.
    bool waitForListings(int count) {
        const auto listings = [this] {
            const auto log = hal.callLog();
            return std::count(log.begin(), log.end(), ScriptedAudioStep::deviceListSize);
        };
        const auto target = listings() + count;
        return test::waitUntil([&] { return listings() >= target; });
    }
    QStringList deliver(std::vector<std::uint32_t> frames) {
        return test::capturedStdoutLines([&] {
            hal.deliverInputCallbacks(frames);
            manager->waitForPendingBlocks();
        });
    }
};

} // namespace

TEST(TimecodeInputManager, DeviceIDsParseAsUnsigned32BitDecimalOnly) {
    const std::vector<std::pair<const char*, std::optional<std::uint32_t>>> cases = {
        {"73", 73u},
        {"+73", 73u},
        {"-0", 0u},
        {"4294967295", 4294967295u},
        {" 73", std::nullopt},
        {"73 ", std::nullopt},
        {"4294967296", std::nullopt},
        {"-1", std::nullopt},
        {"", std::nullopt},
        {"abc", std::nullopt},
        {"++73", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(TimecodeInputManager::parseDeviceID(QString::fromLatin1(text)), id) << text;
    }
    // Digits outside ASCII are not digits here.
    EXPECT_EQ(TimecodeInputManager::parseDeviceID(QStringLiteral("٧٣")), std::nullopt);
}

TEST(TimecodeInputManager, ResolvesTheNamedDeviceAndRefusesBuiltInMicrophones) {
    const std::vector<AudioInputDeviceInfo> devices = {
        {1, QStringLiteral("MacBook Pro Microphone"), 2},
        {2, QStringLiteral("MACBOOK Air"), 4},
        {3, QStringLiteral("Line In"), 1},
        {4, QStringLiteral("Built-in Input"), 2},
        {5, QStringLiteral("Internal Mic"), 1},
        {6, QStringLiteral("USB microphone array"), 8},
    };
    const std::vector<std::pair<std::optional<QString>, std::optional<std::uint32_t>>> cases = {
        {std::nullopt, std::nullopt},
        {QString(), std::nullopt},
        {QStringLiteral("abc"), std::nullopt},
        {QStringLiteral("1"), std::nullopt},
        {QStringLiteral("2"), 2u},
        {QStringLiteral("+3"), 3u},
        {QStringLiteral("4"), std::nullopt},
        {QStringLiteral("5"), std::nullopt},
        {QStringLiteral("6"), 6u},
        {QStringLiteral("9"), std::nullopt},
    };
    for (const auto& [id, expected] : cases) {
        const auto resolved =
            TimecodeInputManager::resolveDevice(TimecodeSettings{TimecodeFrameRate::fps25, id, 0}, devices);
        EXPECT_EQ(resolved ? std::optional(resolved->deviceID) : std::nullopt, expected)
            << id.value_or(QString()).toStdString();
    }
}

TEST(TimecodeInputManager, UnusableSettingsCaptureNothingAndZeroTheLevel) {
    // Only a valid id that is not listed may still turn up; a refused microphone stays refused.
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {{"", "Line In", false},
                                                                           {"abc", "Line In", false},
                                                                           {"74", "Line In", true},
                                                                           {"73", "Internal Mic", false}};
    for (const auto& [id, name, waits] : cases) {
        Rig rig(settingsFor(id));
        rig.hal.setDevices({ScriptedAudioDevice{73, QString::fromLatin1(name), {2}}});
        rig.runtime.setLevel(0.5f);
        const QStringList lines = test::capturedStdoutLines([&] { rig.manager->start(); });
        EXPECT_TRUE(lines.isEmpty()) << id;
        EXPECT_EQ(rig.runtime.level(), 0.0f);
        EXPECT_EQ(rig.manager->inputManager(), nullptr);
        EXPECT_EQ(rig.hal.liveUnitCount(), 0);
        EXPECT_EQ(rig.manager->isRetrying(), waits) << id;
    }
    TimecodeRuntime runtime;
    TimecodeInputManager withoutLayer(nullptr, &runtime, settingsFor("73"));
    withoutLayer.start();
    EXPECT_FALSE(withoutLayer.isCapturing());
}

TEST(TimecodeInputManager, MetersTheSelectedChannelLinearly) {
    struct Case {
        std::int64_t channelIndex;
        std::vector<float> channels;
        float level;
    };
    const std::vector<Case> cases = {
        {0, {0.25f, 0.0f}, 1.0f}, {0, {0.1f, 0.9f}, 0.4f}, {1, {0.9f, 0.1f}, 0.4f},  {5, {0.0f, 0.25f}, 1.0f},
        {-1, {0.1f, 0.9f}, 0.4f}, {0, {0.0f, 1.0f}, 0.0f}, {0, {-1.0f, 0.0f}, 1.0f},
    };
    for (const Case& c : cases) {
        Rig rig(settingsFor("73", c.channelIndex));
        test::capturedStdoutLines([&] { rig.manager->start(); });
        rig.constantChannels(c.channels);
        rig.deliver({512});
        EXPECT_NEAR(rig.runtime.level(), c.level, 1e-5) << c.channelIndex << " " << c.channels[0];
    }
    // A level that is not a number leaves the shown level alone; an empty block zeroes it.
    Rig rig(settingsFor("73"));
    test::capturedStdoutLines([&] { rig.manager->start(); });
    rig.constantChannels({0.1f, 0.0f});
    rig.deliver({512});
    rig.constantChannels({std::nanf(""), 0.0f});
    rig.deliver({512});
    EXPECT_NEAR(rig.runtime.level(), 0.4f, 1e-5);
    rig.deliver({0});
    EXPECT_EQ(rig.runtime.level(), 0.0f);
}

TEST(TimecodeInputManager, PublishesDecodedTimeAndKeepsItAcrossStopAndRestart) {
    Rig rig(settingsFor("73", 1));
    const auto ltc = test::makeLtc(48000, 25, {10, 0, 0, 10}, 25);
    rig.hal.setSampleSource(
        [&ltc](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
            for (std::uint32_t i = 0; i < frames && first + i < ltc.samples.size(); ++i) {
                out[i * channels + 1] = ltc.samples[first + i];
            }
        });
    const QString firstFire = QStringLiteral("📡 HAL render callback first fire: bus 0 frames:1024");
    EXPECT_TRUE(
        test::capturedStdoutLines([&] { rig.manager->start(); }).last().startsWith(QStringLiteral("✅")));
    const QStringList lines = rig.deliver(std::vector<std::uint32_t>(ltc.samples.size() / 1024, 1024));
    EXPECT_EQ(lines.count(firstFire), 1);
    const auto decoded = rig.manager->lastDecoded();
    ASSERT_TRUE(decoded);
    EXPECT_NE(std::find(ltc.frames.end() - 3, ltc.frames.end(), *decoded), ltc.frames.end());
    const TimecodeRuntime::Time shown = rig.runtime.liveTime();
    EXPECT_EQ(shown,
              (TimecodeRuntime::Time{decoded->hours, decoded->minutes, decoded->seconds, decoded->frames}));

    // Blocks queued before a stop still decode, but cannot leave a level standing.
    rig.constantChannels({0.0f, 0.25f});
    rig.hal.deliverInputCallbacks({1024, 1024});
    test::capturedStdoutLines([&] { rig.manager->stop(); });
    rig.manager->waitForPendingBlocks();
    EXPECT_EQ(rig.runtime.level(), 0.0f);
    EXPECT_EQ(rig.runtime.liveTime(), shown);

    // A restart prints the first-fire line again and still shows the last time.
    test::capturedStdoutLines([&] { rig.manager->start(); });
    EXPECT_EQ(rig.deliver({1024, 1024}).count(firstFire), 1);
    EXPECT_EQ(rig.runtime.liveTime(), shown);
    EXPECT_EQ(rig.runtime.level(), 1.0f);
}

TEST(TimecodeInputManager, ALostCaptureIsAnnouncedOnceAndResumesWhenTheDeviceIsBack) {
    Rig rig(settingsFor("73"));
    rig.manager->setRetryIntervalMs(20);
    test::capturedStdoutLines([&] { rig.manager->start(); });
    rig.constantChannels({0.25f, 0.0f});
    rig.deliver({512});
    ASSERT_EQ(rig.runtime.level(), 1.0f);

    const auto devices = std::vector<ScriptedAudioDevice>{{73, QStringLiteral("Line In"), {2}}};
    QStringList lines = test::capturedStdoutLines([&] {
        rig.hal.loseRunningUnit();
        rig.hal.setDevices({});
        EXPECT_TRUE(test::waitUntil([&] { return rig.manager->isRetrying(); }));
        EXPECT_TRUE(rig.waitForListings(3)); // quiet retries
    });
    EXPECT_EQ(lines,
              QStringList{QStringLiteral("⚠️ TimecodeInputManager: capture from deviceID 73 lost; trying "
                                         "again every 2 s")});
    EXPECT_EQ(rig.runtime.level(), 0.0f);
    EXPECT_EQ(rig.hal.liveUnitCount(), 0);

    lines = test::capturedStdoutLines([&] {
        rig.hal.setDevices(devices);
        EXPECT_TRUE(test::waitUntil([&] { return rig.manager->isCapturing(); }));
    });
    EXPECT_EQ(lines.last(),
              QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:48000.0 ch:2"));
    EXPECT_EQ(lines.filter(QStringLiteral("⚠️")).size(), 0);
    rig.deliver({512});
    EXPECT_EQ(rig.runtime.level(), 1.0f);

    // A stop ends the watch: losing the device afterwards is not announced.
    test::capturedStdoutLines([&] { rig.manager->stop(); });
    EXPECT_TRUE(test::capturedStdoutLines([&] { test::waitUntil([] { return false; }, 100); }).isEmpty());
}

TEST(TimecodeInputManager, ADeviceNamedBeforeTheServerOrTheDeviceIsThereIsCapturedWhenItAppears) {
    Rig rig(settingsFor("73"));
    rig.manager->setRetryIntervalMs(10);
    rig.hal.setStatus(ScriptedAudioStep::deviceListSize, -6); // no sound server yet
    QStringList lines = test::capturedStdoutLines([&] {
        rig.manager->start();
        EXPECT_TRUE(rig.manager->isRetrying());
        EXPECT_TRUE(rig.waitForListings(3));
        rig.hal.setStatus(ScriptedAudioStep::deviceListSize, kAudioNoError);
        rig.hal.setDevices({}); // a server, but the interface is not plugged in yet
        EXPECT_TRUE(rig.waitForListings(3));
    });
    // The failed listing of the start is printed once; the retries are quiet.
    EXPECT_EQ(lines,
              QStringList{QStringLiteral("⚠️ listInputDevices: couldn't get device list size (-6)")});
    EXPECT_FALSE(rig.manager->isCapturing());

    lines = test::capturedStdoutLines([&] {
        rig.hal.setDevices({ScriptedAudioDevice{73, QStringLiteral("Line In"), {2}}});
        EXPECT_TRUE(test::waitUntil([&] { return rig.manager->isCapturing(); }));
    });
    EXPECT_EQ(lines.last(),
              QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:48000.0 ch:2"));
    EXPECT_TRUE(lines.filter(QStringLiteral("⚠️")).isEmpty());
    rig.constantChannels({0.25f, 0.0f});
    rig.deliver({512});
    EXPECT_EQ(rig.runtime.level(), 1.0f);

    // The display going away or new settings stop the manager, which ends the wait.
    rig.manager->setSettings(settingsFor("74"));
    test::capturedStdoutLines([&] { rig.manager->start(); });
    EXPECT_TRUE(rig.manager->isRetrying());
    rig.manager->stop();
    EXPECT_FALSE(rig.manager->isRetrying());
    EXPECT_EQ(rig.hal.liveUnitCount(), 0);
}

TEST(TimecodeInputManager, TellsWhenLtcArrivesItsRateAndWhenBlocksStopComing) {
    Rig rig(settingsFor("73", 0, TimecodeFrameRate::fps25));
    const auto ltc = test::makeLtc(48000, TimecodeFrameRate::fps30, {10, 0, 0, 0}, 75);
    rig.hal.setSampleSource(
        [&ltc](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
            for (std::uint32_t i = 0; i < frames && first + i < ltc.samples.size(); ++i) {
                out[i * channels] = ltc.samples[first + i];
            }
        });
    test::capturedStdoutLines([&] { rig.manager->start(); });
    EXPECT_TRUE(rig.runtime.showsNoTimecode());
    const QStringList lines = rig.deliver(std::vector<std::uint32_t>(ltc.samples.size() / 1024, 1024));
    EXPECT_EQ(lines.filter(QStringLiteral("TimecodeInputManager")),
              (QStringList{
                  QStringLiteral("📡 TimecodeInputManager: receiving LTC"),
                  QStringLiteral("⚠️ TimecodeInputManager: LTC runs at 30 fps, but the clock is set to "
                                 "25 fps")}));
    EXPECT_TRUE(rig.runtime.hasLiveTimecode());
    EXPECT_EQ(rig.runtime.detectedFrameRate(), TimecodeFrameRate::fps30);
    const QString shown = rig.runtime.displayString();

    // The capture goes quiet without saying so: the main thread calls the timecode lost by itself,
    // keeps the last time, and says so once.
    const QStringList quiet = test::capturedStdoutLines(
        [&] { EXPECT_TRUE(test::waitUntil([&] { return !rig.runtime.hasLiveTimecode(); })); });
    EXPECT_EQ(quiet,
              QStringList{QStringLiteral("📡 TimecodeInputManager: no LTC for 10 frames; the clock shows "
                                         "NO LTC")});
    EXPECT_TRUE(rig.runtime.showsNoTimecode());
    EXPECT_EQ(rig.runtime.displayString(), shown);
    EXPECT_EQ(rig.runtime.detectedFrameRate(), std::nullopt);

    // Blocks come again, with hum: the old time does not count as arriving (the audio clock never saw
    // the stall), and the hum is told once 10 s of it have passed, not once per block.
    const auto hum = test::hum(48000 * 20, 48000, 50, -20);
    rig.hal.setSampleSource(
        [&hum](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
            for (std::uint32_t i = 0; i < frames; ++i) {
                out[i * channels] = hum[(first + i) % hum.size()];
            }
        });
    EXPECT_EQ(rig.deliver(std::vector<std::uint32_t>(hum.size() / 1024, 1024)),
              QStringList{QStringLiteral(
                  "⚠️ TimecodeInputManager: a signal but no readable LTC in 10 s on deviceID "
                  "73 channel 1: noise, hum, or the wrong channel")});
    EXPECT_EQ(rig.runtime.displayString(), shown);

    // Timecode again, and the capture stalls in the middle of it: lost on the wall clock, and live
    // again with the first new frame once blocks come again.
    const auto again = test::makeLtc(48000, TimecodeFrameRate::fps30, {11, 0, 0, 0}, 60);
    std::uint64_t start = 0;
    rig.hal.setSampleSource(
        [&again, &start](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
            if (start == 0) {
                start = first;
            }
            for (std::uint32_t i = 0; i < frames && first - start + i < again.samples.size(); ++i) {
                out[i * channels] = again.samples[first - start + i];
            }
        });
    EXPECT_EQ(rig.deliver(std::vector<std::uint32_t>(40, 1024)),
              QStringList{QStringLiteral("📡 TimecodeInputManager: receiving LTC")});
    EXPECT_TRUE(test::waitUntil([&] { return rig.runtime.showsNoTimecode(); }));
    const QString stalled = rig.runtime.displayString();
    rig.deliver(std::vector<std::uint32_t>(5, 1024));
    EXPECT_FALSE(rig.runtime.showsNoTimecode());
    EXPECT_NE(rig.runtime.displayString(), stalled);
}
