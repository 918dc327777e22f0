#include "timecode/timecodeinputmanager.h"

#include "ltcsignal.h"
#include "scriptedaudiobackend.h"
#include "testsupport.h"
#include "timecode/timecoderuntime.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

TimecodeSettings settingsFor(const char* deviceID, std::int64_t channel = 0,
                             TimecodeFrameRate rate = TimecodeFrameRate::fps25) {
    return TimecodeSettings{rate, QString::fromLatin1(deviceID), channel};
}

const test::ScriptedAudioDevice kLineInSource{73, u"Line In"_s, 2, 48000, test::lineInPort()};
const QString kCapturing = u"✅ AudioInputDeviceManager: capturing from deviceID 73 • sr:48000.0 ch:2"_s;

/// A scripted two-channel interface and a manager on it.
struct Rig {
    test::ScriptedAudioBackend audio;
    TimecodeRuntime runtime;
    std::unique_ptr<TimecodeInputManager> manager;

    explicit Rig(TimecodeSettings settings) {
        audio.setDevices({kLineInSource});
        manager = std::make_unique<TimecodeInputManager>(&audio, &runtime, std::move(settings));
    }
    QStringList start() {
        return test::capturedStdoutLines([&] { test::startSettled(*manager); });
    }
    void constantChannels(std::vector<float> values) {
        audio.setSampleSource(
            [values](std::uint64_t, std::uint32_t frames, std::uint32_t channels, float* out) {
                for (std::uint32_t i = 0; i < frames * channels; ++i) {
                    out[i] = values[std::min<std::size_t>(i % channels, values.size() - 1)];
                }
            });
    }
    /// Plays `samples` on `channel` from the next block on, and silence after them.
    void play(std::vector<float> samples, std::uint32_t channel = 0) {
        audio.setSampleSource(
            [samples = std::move(samples), channel, start = std::optional<std::uint64_t>()](
                std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) mutable {
                start = start.value_or(first);
                for (std::uint32_t i = 0; i < frames && first - *start + i < samples.size(); ++i) {
                    out[i * channels + channel] = samples[first - *start + i];
                }
            });
    }
    /// Delivers `blocks` blocks a few at a time, as a device paces them: a burst larger than the
    /// capture ring would be dropped in part.
    QStringList deliver(std::size_t blocks, std::uint32_t frames = 1024) {
        return test::capturedStdoutLines([&] {
            for (std::size_t i = 0; i < blocks; i += 8) {
                audio.deliverCallbacks(
                    std::vector<std::uint32_t>(std::min<std::size_t>(8, blocks - i), frames));
                manager->waitForPendingBlocks();
            }
        });
    }
};

} // namespace

TEST(TimecodeInputManager, DeviceIDsParseAsUnsigned32BitDecimalOnly) {
    const std::pair<const char*, std::uint32_t> valid[] = {
        {"73", 73}, {"+73", 73}, {"-0", 0}, {"4294967295", 4294967295u}};
    for (const auto& [text, id] : valid) {
        EXPECT_EQ(TimecodeInputManager::parseDeviceID(QString::fromLatin1(text)), id) << text;
    }
    // Digits outside ASCII are not digits here.
    for (const QString& text : {u" 73"_s, u"4294967296"_s, u"-1"_s, QString(), u"++73"_s, u"٧٣"_s}) {
        EXPECT_EQ(TimecodeInputManager::parseDeviceID(text), std::nullopt) << text.toStdString();
    }
}

TEST(JudgeMicrophone, WhatTheServerSaysDecidesAndTheNameOnlyWhenItSaysNothing) {
    const auto port = [](const char* name, PortType type) {
        return SourceTraits{false, QString::fromLatin1(name), type, QString()};
    };
    const auto formFactor = [](const char* value) {
        return SourceTraits{false, QString(), PortType::unknown, QString::fromLatin1(value)};
    };
    using E = MicrophoneEvidence;
    // Monitors, form factors and names the server gives are judged live, in the sound-server test.
    const std::vector<std::tuple<const char*, std::uint32_t, SourceTraits, bool, E>> cases = {
        {"Built-in Audio Analog Stereo", 2, port("analog-input-linein", PortType::line), false, E::port},
        {"Built-in Audio Analog Stereo", 2, port("analog-input-headset-mic", PortType::headset), true,
         E::port},
        {"Family 17h HD Audio", 2, port("[In] Mic1", PortType::unknown), true, E::port},
        {"Family 17h HD Audio", 2, port("[In] Line1", PortType::unknown), false, E::port},
        {"Built-in Audio Pro", 4, formFactor("internal"), false, E::formFactor},
        {"MacBook Pro Microphone", 2, {}, true, E::name},
        {"USB microphone array", 8, {}, false, E::name}};
    for (const auto& [name, channels, traits, microphone, evidence] : cases) {
        const MicrophoneVerdict verdict =
            judgeMicrophone(AudioInputDeviceInfo{1, QString::fromLatin1(name), channels, traits});
        EXPECT_EQ(std::pair(verdict.isMicrophone, verdict.evidence), std::pair(microphone, evidence))
            << name << " " << traits.portName.toStdString();
    }
}

TEST(TimecodeInputManager, UnusableSettingsCaptureNothingAndZeroTheLevel) {
    // Only a valid id that is not listed may still turn up; a refused microphone stays refused.
    const SourceTraits micPort{false, u"analog-input-mic"_s, PortType::microphone, QString()};
    const std::vector<std::tuple<const char*, SourceTraits, bool>> cases = {
        {"", test::lineInPort(), false},
        {"abc", test::lineInPort(), false},
        {"74", test::lineInPort(), true},
        {"73", micPort, false}};
    for (const auto& [id, traits, waits] : cases) {
        Rig rig(settingsFor(id));
        rig.audio.setDevices({{73, u"Built-in Audio Analog Stereo"_s, 2, 48000, traits}});
        rig.runtime.setLevel(0.5f);
        EXPECT_TRUE(rig.start().isEmpty()) << id;
        EXPECT_EQ(std::tuple(rig.runtime.level(), rig.audio.liveStreamCount(), rig.manager->isRetrying()),
                  std::tuple(0.0f, 0, waits))
            << id;
        rig.manager->stop();
        EXPECT_FALSE(rig.manager->isRetrying()) << "stopping ends the wait";
    }
    TimecodeRuntime runtime;
    TimecodeInputManager withoutLayer(nullptr, &runtime, settingsFor("73"));
    test::startSettled(withoutLayer);
    EXPECT_FALSE(withoutLayer.isCapturing());
}

TEST(TimecodeInputManager, ASourceWithoutPortOrFormFactorIsJudgedByItsNameAndSaysSoOnce) {
    Rig rig(settingsFor("73"));
    rig.audio.setDevices({{73, u"Built-in Audio Analog Stereo"_s, 2}});
    QStringList lines = rig.start() + rig.start();
    EXPECT_EQ(
        lines.count(u"⚠️ TimecodeInputManager: the sound server tells no port or form factor of deviceID "
                    u"73 (Built-in Audio Analog Stereo); taken as a line input"_s),
        1);
    EXPECT_TRUE(rig.manager->isCapturing());

    rig.manager->setSettings(settingsFor("74"));
    rig.audio.setDevices({{74, u"Internal Microphone"_s, 1}});
    EXPECT_EQ(
        rig.start().filter(u"⚠️"_s),
        QStringList{u"⚠️ TimecodeInputManager: the sound server tells no port or form factor of "
                    u"deviceID 74 (Internal Microphone); its name says microphone, not used for LTC"_s});
    EXPECT_FALSE(rig.manager->isCapturing());
}

TEST(TimecodeInputManager, MetersTheSelectedChannelLinearly) {
    const std::vector<std::tuple<std::int64_t, std::vector<float>, float>> cases = {
        {0, {0.1f, 0.9f}, 0.4f},  {1, {0.9f, 0.1f}, 0.4f}, {5, {0.0f, 0.25f}, 1.0f},
        {-1, {0.1f, 0.9f}, 0.4f}, {0, {0.0f, 1.0f}, 0.0f}, {0, {-1.0f, 0.0f}, 1.0f}};
    for (const auto& [channelIndex, channels, level] : cases) {
        Rig rig(settingsFor("73", channelIndex));
        rig.start();
        rig.constantChannels(channels);
        rig.deliver(1, 512);
        EXPECT_NEAR(rig.runtime.level(), level, 1e-5) << channelIndex << " " << channels[0];
    }
    // A level that is not a number leaves the shown level alone; an empty block zeroes it.
    Rig rig(settingsFor("73"));
    rig.start();
    rig.constantChannels({0.1f, 0.0f});
    rig.deliver(1, 512);
    rig.constantChannels({std::nanf(""), 0.0f});
    rig.deliver(1, 512);
    EXPECT_NEAR(rig.runtime.level(), 0.4f, 1e-5);
    rig.deliver(1, 0);
    EXPECT_EQ(rig.runtime.level(), 0.0f);
}

TEST(TimecodeInputManager, PublishesDecodedTimeAndKeepsItAcrossStopAndRestart) {
    Rig rig(settingsFor("73", 1));
    const auto ltc = test::makeLtc(48000, 25, {10, 0, 0, 10}, 25);
    rig.play(ltc.samples, 1);
    const QString firstFire = u"📡 HAL render callback first fire: bus 0 frames:1024"_s;
    EXPECT_EQ(rig.start().last(), kCapturing);
    EXPECT_EQ(rig.deliver(ltc.samples.size() / 1024).count(firstFire), 1);
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
    EXPECT_EQ(std::tuple(rig.runtime.level(), rig.runtime.liveTime()), std::tuple(0.0f, shown));

    // A restart prints the first-fire line again and still shows the last time.
    rig.start();
    EXPECT_EQ(rig.deliver(2).count(firstFire), 1);
    EXPECT_EQ(std::tuple(rig.runtime.liveTime(), rig.runtime.level()), std::tuple(shown, 1.0f));
}

// Capture that comes back, on the server's news or by the retry after the server itself was missing
// or went, is the live sound-server test's and the sound-server drill's part.

TEST(TimecodeInputManager, TellsWhenLtcArrivesItsRateAndWhenBlocksStopComing) {
    Rig rig(settingsFor("73", 0, TimecodeFrameRate::fps25));
    const auto ltc = test::makeLtc(48000, TimecodeFrameRate::fps30, {10, 0, 0, 0}, 75);
    rig.play(ltc.samples);
    test::capturedStdoutLines([&] { rig.manager->start(); });
    EXPECT_TRUE(rig.runtime.showsNoTimecode());
    EXPECT_EQ(
        rig.deliver(ltc.samples.size() / 1024).filter(u"TimecodeInputManager"_s),
        (QStringList{u"📡 TimecodeInputManager: receiving LTC"_s,
                     u"⚠️ TimecodeInputManager: LTC runs at 30 fps, but the clock is set to 25 fps"_s}));
    EXPECT_TRUE(rig.runtime.hasLiveTimecode());
    EXPECT_EQ(rig.runtime.detectedFrameRate(), TimecodeFrameRate::fps30);
    const QString shown = rig.runtime.displayString();

    // The capture goes quiet without saying so: the main thread calls the timecode lost by itself,
    // keeps the last time, and says so once.
    const QStringList quiet = test::capturedStdoutLines(
        [&] { EXPECT_TRUE(test::waitUntil([&] { return !rig.runtime.hasLiveTimecode(); })); });
    EXPECT_EQ(quiet, QStringList{u"📡 TimecodeInputManager: no LTC for 10 frames; the clock shows NO LTC"_s});
    EXPECT_TRUE(rig.runtime.showsNoTimecode());
    EXPECT_EQ(rig.runtime.displayString(), shown);
    EXPECT_EQ(rig.runtime.detectedFrameRate(), std::nullopt);

    // Blocks come again, with hum: the old time does not count as arriving (the audio clock never saw
    // the stall), and the hum is told once 10 s of it have passed, not once per block.
    const auto hum = test::hum(48000 * 20, 48000, 50, -20);
    rig.play(hum);
    EXPECT_EQ(rig.deliver(hum.size() / 1024),
              QStringList{u"⚠️ TimecodeInputManager: a signal but no readable LTC in 10 s on deviceID 73 "
                          u"channel 1: noise, hum, or the wrong channel"_s});
    EXPECT_EQ(rig.runtime.displayString(), shown);

    // Timecode again, and the capture stalls in the middle of it: lost on the wall clock, and live
    // again with the first new frame once blocks come again.
    rig.play(test::makeLtc(48000, TimecodeFrameRate::fps30, {11, 0, 0, 0}, 60).samples);
    EXPECT_EQ(rig.deliver(40), QStringList{u"📡 TimecodeInputManager: receiving LTC"_s});
    EXPECT_TRUE(test::waitUntil([&] { return rig.runtime.showsNoTimecode(); }));
    const QString stalled = rig.runtime.displayString();
    rig.deliver(5);
    EXPECT_FALSE(rig.runtime.showsNoTimecode());
    EXPECT_NE(rig.runtime.displayString(), stalled);
}

TEST(TimecodeInputManager, ANewStreamHasTwiceTheTimeForItsFirstAudioBeforeTheServerIsCalledHung) {
    // A busy machine can take more than 2 s to set a new stream up; once audio has come, 2 s
    // without any is what a hung server looks like.
    Rig rig(settingsFor("73"));
    rig.manager->setRetryIntervalMs(100);
    ASSERT_TRUE(rig.start().contains(kCapturing));
    QElapsedTimer since;
    since.start();
    const QStringList silent = test::capturedStdoutLines(
        [&] { ASSERT_TRUE(test::waitUntil([&] { return rig.manager->isStalled(); }, 15000)); });
    EXPECT_GE(since.elapsed(), 2 * TimecodeInputManager::kStallMs - 100);
    EXPECT_EQ(silent,
              QStringList{u"⚠️ TimecodeInputManager: no audio from deviceID 73 for 2 s; the sound "
                          u"server does not answer"_s});
    rig.deliver(8);
    EXPECT_TRUE(test::waitUntil([&] { return !rig.manager->isStalled(); }))
        << "audio again: the capture goes on";
}
