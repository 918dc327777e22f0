#include "editortestsupport.h"

#include "editors/clocksettingspopover.h"
#include "editors/levelbar.h"
#include "editors/popover.h"
#include "editors/timecodesettingseditor.h"
#include "scriptedaudiobackend.h"
#include "timecode/timecoderuntime.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tavix;

namespace {

test::ScriptedAudioDevice device(std::uint32_t id, const char* name, std::uint32_t channels,
                                 SourceTraits traits = test::lineInPort()) {
    return {id, QString::fromUtf8(name), channels, 48000, std::move(traits)};
}

// The onboard card's microphone input: its port, not its name, makes it one.
const SourceTraits kMicPort{false, u"analog-input-mic"_s, PortType::microphone, QString()};

struct TimecodeFixture : test::Store {
    test::ScriptedAudioBackend audio;
    TimecodeRuntime runtime;
    QWidget anchor;
    QPointer<Popover> popover;
    TimecodeSettingsEditor* editor = nullptr;

    TimecodeFixture() {
        audio.setDevices({device(41, "USB Line Interface", 4), device(7, "audio interface", 2),
                          device(12, "Built-in Audio Analog Mono", 1, kMicPort)});
    }
    void open(std::optional<TimecodeSettings> stored) {
        edit([&stored](ClockModel& c) {
            c.mode = ClockMode::timecode;
            c.timecode = stored;
        });
        anchor.show();
        auto* panel = new ClockSettingsPopover(binding(), &runtime, 90, &audio);
        popover = Popover::open(&anchor, panel);
        editor = qobject_cast<TimecodeSettingsEditor*>(panel->modeSection());
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(test::waitUntil([this] { return !editor->staging().isLoading(); }));
        popover->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(popover.data()));
    }
};

void choose(QComboBox* menu, const QString& text) {
    ASSERT_GE(menu->findText(text), 0) << text.toStdString();
    test::chooseByKeys(menu, menu->findText(text));
}

TEST(TimecodeSettingsEditor, ListsDevicesSortedAndKeepsTheStoredChannel) {
    TimecodeFixture f;
    f.open(TimecodeSettings{TimecodeFrameRate::fps24, u"41"_s, 3});
    QStringList devices;
    for (int i = 0; i < f.editor->deviceMenu()->count(); ++i) {
        devices << f.editor->deviceMenu()->itemText(i);
    }
    EXPECT_EQ(devices, (QStringList{u"audio interface (2 ch)"_s, u"Built-in Audio Analog Mono (1 ch)"_s,
                                    u"USB Line Interface (4 ch)"_s}));
    EXPECT_EQ(f.editor->deviceMenu()->currentText(), u"USB Line Interface (4 ch)"_s);
    // Channel 3 of the 4-channel device survives the list arriving after the stored choices.
    EXPECT_EQ(f.editor->channelMenu()->currentText(), u"Ch 4"_s);
    EXPECT_EQ(f.editor->frameRateMenu()->currentText(), u"24"_s);
    EXPECT_TRUE(f.editor->applyButton()->isEnabled());
    EXPECT_FALSE(f.editor->warningRow()->isVisible());
}

TEST(TimecodeSettingsEditor, ReturnAppliesAllThreeChoicesAndCloses) {
    TimecodeFixture f;
    f.open(std::nullopt);
    // The fallback record was created; its missing device gives way to the first listed one.
    EXPECT_EQ(f.clock().timecode, (TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0}));
    EXPECT_EQ(f.editor->deviceMenu()->currentText(), u"audio interface (2 ch)"_s);
    choose(f.editor->deviceMenu(), u"USB Line Interface (4 ch)"_s);
    choose(f.editor->channelMenu(), u"Ch 3"_s);
    choose(f.editor->frameRateMenu(), u"29.97 DF"_s);
    EXPECT_EQ(f.clock().timecode->audioInputDeviceID, std::nullopt);
    QTest::keyClick(f.editor->frameRateMenu(), Qt::Key_Return);
    EXPECT_EQ(f.clock().timecode,
              (TimecodeSettings{TimecodeFrameRate::fps29_97DF, u"41"_s, 2, u"USB Line Interface"_s}));
    EXPECT_TRUE(test::closes(f.popover));
}

TEST(TimecodeSettingsEditor, AnUnpluggedDeviceStaysChosenAndReturnElsewhereInThePanelAppliesNothing) {
    const TimecodeSettings stored{TimecodeFrameRate::fps25, u"99"_s, 1, u"Studio Box"_s};
    TimecodeFixture f;
    f.open(stored);
    // Shown by its last known name, first in the menu, with its channel; never swapped for another.
    EXPECT_EQ(f.editor->deviceMenu()->currentText(), u"Not connected (Studio Box)"_s);
    EXPECT_EQ(f.editor->deviceMenu()->currentIndex(), 0);
    EXPECT_EQ(f.editor->channelMenu()->currentText(), u"Ch 2"_s);
    EXPECT_FALSE(f.editor->channelMenu()->isEnabled());

    // Return in the Name box renames the clock and nothing else: no Apply, the panel stays open.
    auto* panel = qobject_cast<ClockSettingsPopover*>(f.popover->content());
    ASSERT_NE(panel, nullptr);
    test::retype(panel->nameBox(), u"Stage Left"_s);
    QTest::keyClick(panel->nameBox(), Qt::Key_Return);
    EXPECT_FALSE(test::closes(f.popover));
    EXPECT_EQ(std::tuple(f.clock().name, f.clock().timecode), std::tuple(u"Stage Left"_s, stored));

    // The frame rate can still be changed while the device is away; the device stays.
    choose(f.editor->frameRateMenu(), u"30"_s);
    QTest::keyClick(f.editor->frameRateMenu(), Qt::Key_Return);
    EXPECT_EQ(f.clock().timecode, (TimecodeSettings{TimecodeFrameRate::fps30, u"99"_s, 1, u"Studio Box"_s}));
    EXPECT_TRUE(test::closes(f.popover));

    // Without a stored name, the id names it.
    TimecodeFixture unnamed;
    unnamed.open(TimecodeSettings{TimecodeFrameRate::fps25, u"99"_s, 0});
    EXPECT_EQ(unnamed.editor->deviceMenu()->currentText(), u"Not connected (99)"_s);
}

TEST(TimecodeSettingsEditor, CancelAndRefusalsWriteNothing) {
    const TimecodeSettings stored{TimecodeFrameRate::fps25, u"41"_s, 3};
    {
        // A microphone input is refused on Apply, which leaves the panel open; Escape then throws the
        // choices away.
        TimecodeFixture f;
        f.open(stored);
        choose(f.editor->deviceMenu(), u"Built-in Audio Analog Mono (1 ch)"_s);
        EXPECT_EQ(f.editor->channelMenu()->currentText(), u"Ch 1"_s) << "the channel follows the device";
        EXPECT_TRUE(f.editor->warningRow()->isVisible());
        EXPECT_TRUE(f.editor->applyButton()->isEnabled());
        QTest::mouseClick(f.editor->applyButton(), Qt::LeftButton);
        EXPECT_FALSE(test::closes(f.popover));
        choose(f.editor->deviceMenu(), u"audio interface (2 ch)"_s);
        QTest::keyClick(f.editor->deviceMenu(), Qt::Key_Escape);
        EXPECT_TRUE(test::closes(f.popover));
        EXPECT_EQ(f.clock().timecode, stored);
    }
    // Nothing to apply: no device chosen and none listed, or a stored channel the listed device does
    // not have.
    const TimecodeSettings noDevice{TimecodeFrameRate::fps25, std::nullopt, 3};
    for (const auto& [devices, chosen, menuShows] :
         std::vector<std::tuple<std::vector<test::ScriptedAudioDevice>, TimecodeSettings, QString>>{
             {{}, noDevice, u"\u2014"_s}, {{device(41, "USB Line Interface", 2)}, stored, QString()}}) {
        TimecodeFixture f;
        f.audio.setDevices(devices);
        f.open(chosen);
        EXPECT_EQ(f.editor->channelMenu()->currentText(), menuShows);
        EXPECT_FALSE(f.editor->applyButton()->isEnabled());
        QTest::keyClick(f.editor->frameRateMenu(), Qt::Key_Return);
        EXPECT_FALSE(test::closes(f.popover));
        EXPECT_EQ(f.clock().timecode, chosen);
    }
}

TEST(TimecodeSettingsEditor, RefreshListsAgainAndLiveValuesFollowTheRuntime) {
    TimecodeFixture f;
    f.open(TimecodeSettings{TimecodeFrameRate::fps25, u"7"_s, 1});
    f.audio.setDevices({device(7, "audio interface", 2), device(99, "Another Cable", 8)});
    QTest::mouseClick(f.editor->refreshButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&f] { return f.editor->deviceMenu()->count() == 2; }));
    EXPECT_EQ(f.editor->deviceMenu()->itemText(0), u"Another Cable (8 ch)"_s);
    EXPECT_EQ(f.editor->channelMenu()->currentText(), u"Ch 2"_s);

    f.runtime.setLevel(1.7f);
    f.runtime.setLiveTime(1, 2, 3, 4);
    EXPECT_EQ(f.editor->levelBar()->targetFraction(), 1.0);
    EXPECT_EQ(f.editor->decodedText()->text(), u"01:02:03:04"_s);
    f.runtime.setLevel(-0.2f);
    EXPECT_EQ(f.editor->levelBar()->targetFraction(), 0.0);

    // What arrives, against the rate in the menu.
    EXPECT_EQ(f.editor->incomingText()->text(), u"No LTC"_s);
    f.runtime.setInput({0.5f, TimecodeRuntime::Time{1, 2, 3, 5, true}, true, 0});
    EXPECT_EQ(f.editor->decodedText()->text(), u"01:02:03;05"_s);
    EXPECT_EQ(f.editor->incomingText()->text(), u"LTC, measuring its frame rate\u2026"_s);
    f.runtime.setInput({0.5f, TimecodeRuntime::Time{1, 2, 4, 5, true}, true, 29.97});
    EXPECT_EQ(f.editor->incomingText()->text(), u"LTC at 29.97 fps drop-frame, not 25 fps"_s);
    const QColor warning = f.editor->incomingText()->palette().color(QPalette::WindowText);
    choose(f.editor->frameRateMenu(), u"29.97 DF"_s);
    EXPECT_EQ(f.editor->incomingText()->text(), u"LTC at 29.97 fps drop-frame"_s);
    EXPECT_NE(f.editor->incomingText()->palette().color(QPalette::WindowText), warning);
}

} // namespace
