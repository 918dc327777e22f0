#include "timecode/timecoderuntimeholder.h"

#include "scriptedaudiobackend.h"
#include "support/storetest.h"
#include "timecode/timecodeinputmanager.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(TimecodeRuntime, HoldFreezesTheShownTimeWhileTheLiveTimeMovesOn) {
    using Time = TimecodeRuntime::Time;
    // An action, then the time displayed, the live time and the frozen one.
    const std::vector<std::tuple<std::function<void(TimecodeRuntime&)>, const char*, Time, Time>> steps = {
        {[](auto&) {}, "00:00:00:00", {}, {}},
        {[](auto& r) { r.setLiveTime(10, 0, 0, 5); }, "10:00:00:05", {10, 0, 0, 5}, {10, 0, 0, 5}},
        {[](auto& r) { r.setHoldEnabled(true); }, "10:00:00:05", {10, 0, 0, 5}, {10, 0, 0, 5}},
        {[](auto& r) { r.setLiveTime(10, 0, 1, 0); }, "10:00:00:05", {10, 0, 1, 0}, {10, 0, 0, 5}},
        {[](auto& r) { r.setHoldEnabled(false); }, "10:00:01:00", {10, 0, 1, 0}, {10, 0, 0, 5}},
        {[](auto& r) { r.setLiveTime(10, 0, 1, 2, true); },
         "10:00:01;02",
         {10, 0, 1, 2, true},
         {10, 0, 1, 2, true}}};
    TimecodeRuntime runtime;
    for (const auto& [action, display, live, frozen] : steps) {
        action(runtime);
        EXPECT_EQ(std::tuple(runtime.displayString(), runtime.liveTime(), runtime.frozenTime()),
                  std::tuple(QString::fromLatin1(display), live, frozen));
    }
    // The measured frame rate is known only while timecode is live.
    runtime.setHoldEnabled(false);
    runtime.setInput({0.5f, TimecodeRuntime::Time{1, 2, 3, 5}, true, 25.0});
    EXPECT_FALSE(runtime.showsNoTimecode());
    EXPECT_EQ(runtime.detectedFrameRate(), TimecodeFrameRate::fps25);
    runtime.setHasLiveTimecode(false);
    EXPECT_TRUE(runtime.showsNoTimecode());
    EXPECT_EQ(runtime.detectedFrameRate(), std::nullopt);
    EXPECT_EQ(runtime.displayString(), u"01:02:03:05"_s);
}

namespace {

struct Window : test::Store {
    test::ScriptedAudioBackend audio;
    std::unique_ptr<TimecodeRuntimeHolder> holder = std::make_unique<TimecodeRuntimeHolder>(&audio);
    const QUuid clockID = id();

    Window() {
        audio.setDevices({{73, u"Line In"_s, 2, 48000, test::lineInPort()}});
        edit([](ClockModel& c) { c.mode = ClockMode::timecode; });
    }
    /// Capture starts that `action` leads to, once the device listing it started is taken.
    int starts(const std::function<void()>& action) {
        const QStringList lines = test::capturedStdoutLines([&] {
            action();
            test::waitUntil([manager = holder->manager()] { return !manager || !manager->isListing(); });
        });
        return int(lines.filter(u"✅"_s).size());
    }
};

const TimecodeSettings kLineIn{TimecodeFrameRate::fps25, u"73"_s, 0};

} // namespace

TEST(TimecodeRuntimeHolder, AppearSettingsChangeAndDisappearDriveOneManager) {
    // A clock without settings gets the defaults, which name no device.
    Window window;
    window.edit([](ClockModel& c) { c.timecode.reset(); });
    EXPECT_EQ(window.holder->manager(), nullptr);
    EXPECT_EQ(window.starts([&] { window.holder->appear(window.state, window.clockID); }), 0);
    EXPECT_EQ(window.state.clocks().front().timecode, TimecodeRuntimeHolder::defaultSettings());
    TimecodeInputManager* manager = window.holder->manager();
    ASSERT_NE(manager, nullptr);
    EXPECT_FALSE(manager->isCapturing());
    EXPECT_EQ(window.starts([&] { window.holder->settingsChanged(kLineIn); }), 1);
    ASSERT_TRUE(manager->isCapturing());

    // A new channel restarts capture once, with the new settings.
    TimecodeSettings channel1 = kLineIn;
    channel1.audioChannelIndex = 1;
    EXPECT_EQ(window.starts([&] { window.holder->settingsChanged(channel1); }), 1);
    EXPECT_EQ(std::tuple(manager->settings(), window.audio.liveStreamCount()), std::tuple(channel1, 1));

    window.holder->runtime()->setLiveTime(1, 2, 3, 4);
    const QStringList stopped = test::capturedStdoutLines([&] { window.holder->disappear(); });
    EXPECT_EQ(stopped, QStringList{u"🛑 AudioInputDeviceManager: stopped"_s});
    EXPECT_EQ(std::tuple(manager->isCapturing(), window.holder->runtime()->level()), std::tuple(false, 0.0f));

    // Coming back keeps the manager, its settings and the time shown.
    EXPECT_EQ(window.starts([&] { window.holder->appear(window.state, window.clockID); }), 1);
    EXPECT_EQ(std::tuple(window.holder->manager(), manager->settings()), std::tuple(manager, channel1));
    EXPECT_EQ(window.holder->runtime()->displayString(), u"01:02:03:04"_s);

    // Absent settings count as the defaults, which name no device.
    EXPECT_EQ(window.starts([&] { window.holder->settingsChanged(std::nullopt); }), 0);
    EXPECT_EQ(manager->settings(), TimecodeRuntimeHolder::defaultSettings());
    EXPECT_EQ(window.audio.liveStreamCount(), 0);
}
