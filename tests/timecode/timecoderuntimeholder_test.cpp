#include "timecode/timecoderuntimeholder.h"

#include "model/appstate.h"
#include "scriptedaudiobackend.h"
#include "testsupport.h"
#include "timecode/timecodeinputmanager.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace tavix;

TEST(TimecodeRuntime, HoldFreezesTheShownTimeWhileTheLiveTimeMovesOn) {
    struct Step {
        std::function<void(TimecodeRuntime&)> action;
        const char* display;
        TimecodeRuntime::Time live;
        TimecodeRuntime::Time frozen;
    };
    const std::vector<Step> steps = {
        {[](auto&) {}, "00:00:00:00", {}, {}},
        {[](auto& r) { r.setLiveTime(10, 0, 0, 5); }, "10:00:00:05", {10, 0, 0, 5}, {10, 0, 0, 5}},
        {[](auto& r) { r.setHoldEnabled(true); }, "10:00:00:05", {10, 0, 0, 5}, {10, 0, 0, 5}},
        {[](auto& r) { r.setLiveTime(10, 0, 1, 0); }, "10:00:00:05", {10, 0, 1, 0}, {10, 0, 0, 5}},
        {[](auto& r) { r.setHoldEnabled(false); }, "10:00:01:00", {10, 0, 1, 0}, {10, 0, 0, 5}},
        {[](auto& r) { r.setLiveTime(10, 0, 1, 1); }, "10:00:01:01", {10, 0, 1, 1}, {10, 0, 1, 1}},
        {[](auto& r) { r.setLiveTime(45, 85, 85, 45); }, "45:85:85:45", {45, 85, 85, 45}, {45, 85, 85, 45}},
    };
    TimecodeRuntime runtime;
    for (const Step& step : steps) {
        step.action(runtime);
        EXPECT_EQ(runtime.displayString(), QString::fromLatin1(step.display));
        EXPECT_EQ(runtime.liveTime(), step.live) << step.display;
        EXPECT_EQ(runtime.frozenTime(), step.frozen) << step.display;
    }
    TimecodeRuntime fresh;
    fresh.setHoldEnabled(true);
    fresh.setLiveTime(1, 2, 3, 4);
    EXPECT_EQ(fresh.displayString(), QStringLiteral("00:00:00:00"));
    EXPECT_EQ(fresh.level(), 0.0f);
}

namespace {

struct Window {
    QTemporaryDir base;
    AppState state{std::make_shared<StateFile>(base.path())};
    test::ScriptedAudioBackend audio;
    std::unique_ptr<TimecodeRuntimeHolder> holder = std::make_unique<TimecodeRuntimeHolder>(&audio);
    QUuid clockID;

    Window() {
        audio.setDevices({{73, QStringLiteral("Line In"), 2, 48000, test::lineInPort()}});
        clockID = state.clocks().front().id;
        ClockModel clock = state.clocks().front();
        clock.mode = ClockMode::timecode;
        state.setClock(0, clock);
    }
    void setTimecode(std::optional<TimecodeSettings> settings) {
        ClockModel clock = state.clocks().front();
        clock.timecode = std::move(settings);
        state.setClock(0, clock);
    }
    /// Capture starts that `action` leads to, once the device listing it started is taken.
    int starts(const std::function<void()>& action) {
        return int(test::capturedStdoutLines([&] {
                       action();
                       TimecodeInputManager* manager = holder->manager();
                       test::waitUntil([manager] { return manager == nullptr || !manager->isListing(); });
                   })
                       .filter(QStringLiteral("✅"))
                       .size());
    }
};

const TimecodeSettings kLineIn{TimecodeFrameRate::fps25, QStringLiteral("73"), 0};

} // namespace

TEST(TimecodeRuntimeHolder, AClockWithoutSettingsGetsTheDefaultsAndCapturesNothing) {
    Window window;
    window.setTimecode(std::nullopt);
    EXPECT_EQ(window.holder->manager(), nullptr);
    EXPECT_EQ(window.starts([&] { window.holder->appear(window.state, window.clockID); }), 0);
    EXPECT_EQ(window.state.clocks().front().timecode, TimecodeRuntimeHolder::defaultSettings());
    ASSERT_NE(window.holder->manager(), nullptr);
    EXPECT_FALSE(window.holder->manager()->isCapturing());
    EXPECT_EQ(window.holder->runtime()->displayString(), QStringLiteral("00:00:00:00"));
}

TEST(TimecodeRuntimeHolder, AppearSettingsChangeAndDisappearDriveOneManager) {
    Window window;
    window.setTimecode(kLineIn);
    EXPECT_EQ(window.starts([&] { window.holder->appear(window.state, window.clockID); }), 1);
    TimecodeInputManager* manager = window.holder->manager();
    ASSERT_TRUE(manager && manager->isCapturing());

    // A new channel restarts capture once, with the new settings.
    TimecodeSettings channel1 = kLineIn;
    channel1.audioChannelIndex = 1;
    EXPECT_EQ(window.starts([&] { window.holder->settingsChanged(channel1); }), 1);
    EXPECT_EQ(manager->settings(), channel1);
    EXPECT_EQ(window.audio.liveStreamCount(), 1);

    window.holder->runtime()->setLiveTime(1, 2, 3, 4);
    const QStringList stopped = test::capturedStdoutLines([&] { window.holder->disappear(); });
    EXPECT_EQ(stopped, QStringList{QStringLiteral("🛑 AudioInputDeviceManager: stopped")});
    EXPECT_FALSE(manager->isCapturing());
    EXPECT_EQ(window.holder->runtime()->level(), 0.0f);

    // Coming back keeps the manager, its settings and the time shown.
    EXPECT_EQ(window.starts([&] { window.holder->appear(window.state, window.clockID); }), 1);
    EXPECT_EQ(window.holder->manager(), manager);
    EXPECT_EQ(manager->settings(), channel1);
    EXPECT_EQ(window.holder->runtime()->displayString(), QStringLiteral("01:02:03:04"));

    // Absent settings count as the defaults, which name no device.
    EXPECT_EQ(window.starts([&] { window.holder->settingsChanged(std::nullopt); }), 0);
    EXPECT_EQ(manager->settings(), TimecodeRuntimeHolder::defaultSettings());
    EXPECT_EQ(window.audio.liveStreamCount(), 0);
}
