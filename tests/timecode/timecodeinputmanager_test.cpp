#include "timecode/timecodeinputmanager.h"

#include "ltcsignal.h"
#include "scriptedaudiobackend.h"
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
    test::ScriptedAudioBackend audio;
    TimecodeRuntime runtime;
    std::unique_ptr<TimecodeInputManager> manager;

    explicit Rig(TimecodeSettings settings, std::uint32_t channels = 2) {
        audio.setDevices({{73, QStringLiteral("Line In"), channels, 48000, test::lineInPort()}});
        manager = std::make_unique<TimecodeInputManager>(&audio, &runtime, std::move(settings));
    }
    void constantChannels(std::vector<float> values) {
        audio.setSampleSource(
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
            const auto log = audio.callLog();
            return std::count(log.begin(), log.end(), test::ScriptedAudioStep::connect);
        };
        const auto target = listings() + count;
        return test::waitUntil([&] { return listings() >= target; });
    }
    /// Delivers a few blocks at a time, as a device paces them: a burst larger than the capture
    /// ring would be dropped in part.
    QStringList deliver(const std::vector<std::uint32_t>& frames) {
        return test::capturedStdoutLines([&] {
            for (std::size_t i = 0; i < frames.size(); i += 8) {
                audio.deliverCallbacks({frames.begin() + std::ptrdiff_t(i),
                                        frames.begin() + std::ptrdiff_t(std::min(i + 8, frames.size()))});
                manager->waitForPendingBlocks();
            }
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

TEST(JudgeMicrophone, WhatTheServerSaysDecidesAndTheNameOnlyWhenItSaysNothing) {
    const auto port = [](const char* name, PortType type) {
        return SourceTraits{false, QString::fromLatin1(name), type, QString()};
    };
    const auto formFactor = [](const char* value) {
        return SourceTraits{false, QString(), PortType::unknown, QString::fromLatin1(value)};
    };
    const SourceTraits monitor{true, QString(), PortType::unknown, QStringLiteral("internal")};
    using E = MicrophoneEvidence;
    struct Case {
        const char* name;
        std::uint32_t channels;
        SourceTraits traits;
        bool microphone;
        MicrophoneEvidence evidence;
    };
    const std::vector<Case> cases = {
        {"Built-in Audio Analog Stereo", 2, port("analog-input-linein", PortType::line), false, E::port},
        {"Built-in Audio Analog Stereo", 2, port("analog-input-mic", PortType::microphone), true, E::port},
        {"Built-in Audio Analog Stereo", 2, port("analog-input-headset-mic", PortType::headset), true,
         E::port},
        {"Family 17h HD Audio", 2, port("[In] Mic1", PortType::unknown), true, E::port},
        {"Family 17h HD Audio", 2, port("[In] Line1", PortType::unknown), false, E::port},
        {"Monitor of Built-in Audio Analog Stereo", 2, monitor, false, E::monitor},
        {"HD Pro Webcam C920", 2, formFactor("webcam"), true, E::formFactor},
        {"Built-in Audio Pro", 4, formFactor("internal"), false, E::formFactor},
        {"Built-in Audio Analog Stereo", 2, {}, false, E::name},
        {"MacBook Pro Microphone", 2, {}, true, E::name},
        {"USB microphone array", 8, {}, false, E::name},
    };
    for (const Case& c : cases) {
        const MicrophoneVerdict verdict =
            judgeMicrophone(AudioInputDeviceInfo{1, QString::fromLatin1(c.name), c.channels, c.traits});
        EXPECT_EQ(verdict.isMicrophone, c.microphone) << c.name << " " << c.traits.portName.toStdString();
        EXPECT_EQ(verdict.evidence, c.evidence) << c.name;
    }
}

TEST(TimecodeInputManager, UnusableSettingsCaptureNothingAndZeroTheLevel) {
    // Only a valid id that is not listed may still turn up; a refused microphone stays refused.
    const SourceTraits micPort{false, QStringLiteral("analog-input-mic"), PortType::microphone, QString()};
    const std::vector<std::tuple<const char*, SourceTraits, bool>> cases = {
        {"", test::lineInPort(), false},
        {"abc", test::lineInPort(), false},
        {"74", test::lineInPort(), true},
        {"73", micPort, false}};
    for (const auto& [id, traits, waits] : cases) {
        Rig rig(settingsFor(id));
        rig.audio.setDevices({{73, QStringLiteral("Built-in Audio Analog Stereo"), 2, 48000, traits}});
        rig.runtime.setLevel(0.5f);
        const QStringList lines = test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
        EXPECT_TRUE(lines.isEmpty()) << id;
        EXPECT_EQ(rig.runtime.level(), 0.0f);
        EXPECT_EQ(rig.manager->inputManager(), nullptr);
        EXPECT_EQ(rig.audio.liveStreamCount(), 0);
        EXPECT_EQ(rig.manager->isRetrying(), waits) << id;
    }
    TimecodeRuntime runtime;
    TimecodeInputManager withoutLayer(nullptr, &runtime, settingsFor("73"));
    test::startSettled(withoutLayer);
    EXPECT_FALSE(withoutLayer.isCapturing());
}

TEST(TimecodeInputManager, ASourceWithoutPortOrFormFactorIsJudgedByItsNameAndSaysSoOnce) {
    const QString taken =
        QStringLiteral("⚠️ TimecodeInputManager: the sound server tells no port or form factor "
                       "of deviceID 73 (Built-in Audio Analog Stereo); taken as a line input");
    Rig rig(settingsFor("73"));
    rig.audio.setDevices({{73, QStringLiteral("Built-in Audio Analog Stereo"), 2}});
    QStringList lines = test::capturedStdoutLines([&] {
        test::startSettled(*rig.manager);
        test::startSettled(*rig.manager);
    });
    EXPECT_EQ(lines.count(taken), 1);
    EXPECT_TRUE(rig.manager->isCapturing());

    rig.manager->setSettings(settingsFor("74"));
    rig.audio.setDevices({{74, QStringLiteral("Internal Microphone"), 1}});
    lines = test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
    EXPECT_EQ(
        lines.filter(QStringLiteral("⚠️")),
        QStringList{QStringLiteral("⚠️ TimecodeInputManager: the sound server tells no port or form "
                                   "factor of deviceID 74 (Internal Microphone); its name says "
                                   "microphone, not used for LTC")});
    EXPECT_FALSE(rig.manager->isCapturing());
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
        test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
        rig.constantChannels(c.channels);
        rig.deliver({512});
        EXPECT_NEAR(rig.runtime.level(), c.level, 1e-5) << c.channelIndex << " " << c.channels[0];
    }
    // A level that is not a number leaves the shown level alone; an empty block zeroes it.
    Rig rig(settingsFor("73"));
    test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
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
    rig.audio.setSampleSource(
        [&ltc](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
            for (std::uint32_t i = 0; i < frames && first + i < ltc.samples.size(); ++i) {
                out[i * channels + 1] = ltc.samples[first + i];
            }
        });
    const QString firstFire = QStringLiteral("📡 HAL render callback first fire: bus 0 frames:1024");
    EXPECT_TRUE(test::capturedStdoutLines([&] { test::startSettled(*rig.manager); })
                    .last()
                    .startsWith(QStringLiteral("✅")));
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
    rig.audio.deliverCallbacks({1024, 1024});
    test::capturedStdoutLines([&] { rig.manager->stop(); });
    rig.manager->waitForPendingBlocks();
    EXPECT_EQ(rig.runtime.level(), 0.0f);
    EXPECT_EQ(rig.runtime.liveTime(), shown);

    // A restart prints the first-fire line again and still shows the last time.
    test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
    EXPECT_EQ(rig.deliver({1024, 1024}).count(firstFire), 1);
    EXPECT_EQ(rig.runtime.liveTime(), shown);
    EXPECT_EQ(rig.runtime.level(), 1.0f);
}

TEST(TimecodeInputManager, ALostCaptureIsAnnouncedOnceAndResumesWhenTheDeviceIsBack) {
    // Brought back by the server's news of the device, or, without a connection to hear it on,
    // by the retry. With news the retry never fires here: the news alone must do it.
    for (const bool reportsChanges : {false, true}) {
        SCOPED_TRACE(reportsChanges ? "news of changes" : "retry");
        Rig rig(settingsFor("73"));
        rig.audio.setReportsChanges(reportsChanges);
        rig.manager->setRetryIntervalMs(reportsChanges ? 3600 * 1000 : 20);
        test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
        rig.constantChannels({0.25f, 0.0f});
        rig.deliver({512});
        ASSERT_EQ(rig.runtime.level(), 1.0f);

        QStringList lines = test::capturedStdoutLines([&] {
            rig.audio.loseRunningStream();
            rig.audio.setDevices({});
            EXPECT_TRUE(
                test::waitUntil([&] { return rig.manager->isRetrying() && !rig.manager->isListing(); }));
            if (!reportsChanges) {
                EXPECT_TRUE(rig.waitForListings(3)); // quiet retries
            }
        });
        EXPECT_EQ(
            lines.filter(QStringLiteral("⚠️")),
            QStringList{QStringLiteral("⚠️ TimecodeInputManager: capture from deviceID 73 lost; trying "
                                       "again every 2 s")});
        EXPECT_EQ(rig.runtime.level(), 0.0f);
        EXPECT_EQ(rig.audio.liveStreamCount(), 0);

        lines = test::capturedStdoutLines([&] {
            rig.audio.setDevices({{73, QStringLiteral("Line In"), 2, 48000, test::lineInPort()}});
            EXPECT_TRUE(test::waitUntil([&] { return rig.manager->isCapturing(); }));
        });
        EXPECT_EQ(lines.last(),
                  QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:48000.0 ch:2"));
        EXPECT_EQ(lines.filter(QStringLiteral("⚠️")).size(), 0);
        rig.deliver({512});
        EXPECT_EQ(rig.runtime.level(), 1.0f);
        test::capturedStdoutLines([&] { rig.manager->stop(); });
    }
}

TEST(TimecodeInputManager, ADeviceNamedBeforeTheServerOrTheDeviceIsThereIsCapturedWhenItAppears) {
    Rig rig(settingsFor("73"));
    rig.manager->setRetryIntervalMs(10);
    rig.audio.setStatus(test::ScriptedAudioStep::connect, -6); // no sound server yet
    QStringList lines = test::capturedStdoutLines([&] {
        test::startSettled(*rig.manager);
        EXPECT_TRUE(rig.manager->isRetrying());
        EXPECT_TRUE(rig.waitForListings(3));
        rig.audio.setStatus(test::ScriptedAudioStep::connect, kAudioNoError);
        rig.audio.setDevices({}); // a server, but the interface is not plugged in yet
        EXPECT_TRUE(rig.waitForListings(3));
    });
    // The failed listing of the start is printed once; the retries are quiet.
    EXPECT_EQ(lines,
              QStringList{QStringLiteral("⚠️ listInputDevices: couldn't get device list size (-6)")});
    EXPECT_FALSE(rig.manager->isCapturing());

    lines = test::capturedStdoutLines([&] {
        rig.audio.setDevices({{73, QStringLiteral("Line In"), 2, 48000, test::lineInPort()}});
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
    test::capturedStdoutLines([&] { test::startSettled(*rig.manager); });
    EXPECT_TRUE(rig.manager->isRetrying());
    rig.manager->stop();
    EXPECT_FALSE(rig.manager->isRetrying());
    EXPECT_EQ(rig.audio.liveStreamCount(), 0);
}
