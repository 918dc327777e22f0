#include "editortestsupport.h"

#include "editors/clocksettingspopover.h"
#include "editors/colorpanel.h"
#include "editors/colorwell.h"
#include "editors/countdownsettingseditor.h"
#include "editors/stepper.h"
#include "editors/timefieldeditor.h"
#include "editors/timeuntilsettingseditor.h"
#include "editors/toggle.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tavix {
namespace {

struct PanelFixture : test::EditorFixture {
    std::unique_ptr<ClockSettingsPopover> panel;

    void open(TimecodeRuntime* runtime = nullptr) {
        panel = std::make_unique<ClockSettingsPopover>(binding(), runtime, 90, nullptr);
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    }
    void chooseMode(ClockMode mode) {
        // The menu is driven from the keyboard, as a user would without opening its list.
        QComboBox* menu = panel->typeMenu();
        menu->setFocus();
        const int target = menu->findData(static_cast<int>(mode));
        while (menu->currentIndex() != target) {
            QTest::keyClick(menu, menu->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
        }
    }
    template <typename Editor>
    Editor* section() const {
        return qobject_cast<Editor*>(panel->modeSection());
    }
    static QStringList labelTexts(QWidget* widget) {
        QStringList texts;
        for (const QLabel* label : widget->findChildren<QLabel*>()) {
            texts << label->text();
        }
        return texts;
    }
};

TEST(ClockSettingsPopover, OffsetTextIsParsedOnEveryKeystrokeAndShownNormalised) {
    const std::vector<std::pair<QString, double>> cases = {
        {QStringLiteral("  -5:30  "), -19800},
        {QStringLiteral("+5"), 0},
        {QStringLiteral("5:x"), 0},
        {QStringLiteral("5:30.9"), 19800},
        {QStringLiteral("5:30:15"), 19800},
        {QStringLiteral("5:90"), 23400},
    };
    PanelFixture f;
    f.change([](ClockModel& c) { c.timeZoneOffset.reset(); });
    f.open();
    QLineEdit* box = f.panel->offsetBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("+0:00"));
    for (const auto& [text, seconds] : cases) {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(f.clock().timeZoneOffset, seconds) << text.toStdString();
    }
    // Leaving the box shows the stored offset in its normal form.
    f.panel->nameBox()->setFocus();
    EXPECT_EQ(box->text(), QStringLiteral("+6:30"));
}

TEST(ClockSettingsPopover, OffsetStepperMovesWholeHours) {
    PanelFixture f;
    f.change([](ClockModel& c) { c.timeZoneOffset.reset(); });
    f.open();
    QTest::mouseClick(f.panel->offsetStepper()->upButton(), Qt::LeftButton);
    EXPECT_EQ(f.clock().timeZoneOffset, 3600.0);
    EXPECT_EQ(f.panel->offsetBox()->text(), QStringLiteral("+1:00"));
    f.change([](ClockModel& c) { c.timeZoneOffset = -19800; });
    EXPECT_EQ(f.panel->offsetBox()->text(), QStringLiteral("-5:30"));
    QTest::mouseClick(f.panel->offsetStepper()->downButton(), Qt::LeftButton);
    EXPECT_EQ(f.clock().timeZoneOffset, -21600.0);
    EXPECT_EQ(f.panel->offsetBox()->text(), QStringLiteral("-6:00"));
}

TEST(ClockSettingsPopover, CommonRowsWriteStraightIntoTheClock) {
    PanelFixture f;
    f.change([](ClockModel& c) { c.opacity = 0.57; });
    f.open();
    EXPECT_EQ(f.panel->opacityText()->text(), QStringLiteral("56%"));
    f.panel->opacitySlider()->setFocus();
    QTest::keyClick(f.panel->opacitySlider(), Qt::Key_Right);
    EXPECT_EQ(f.clock().opacity, 0.6);
    EXPECT_EQ(f.panel->opacityText()->text(), QStringLiteral("60%"));

    f.panel->nameBox()->setFocus();
    f.panel->nameBox()->selectAll();
    QTest::keyClicks(f.panel->nameBox(), QStringLiteral(" Stage "));
    EXPECT_EQ(f.clock().name, QStringLiteral(" Stage "));
    QTest::keyClick(f.panel->nameBox(), Qt::Key_Backspace);
    EXPECT_EQ(f.clock().name, QStringLiteral(" Stage"));

    QTest::mouseClick(f.panel->alwaysOnTopToggle(), Qt::LeftButton);
    EXPECT_TRUE(f.clock().alwaysOnTop);
}

TEST(ClockSettingsPopover, ChoosingAModeCreatesItsMissingRecordWithThePanelsFallback) {
    PanelFixture f;
    AppSettings settings = f.state->settings();
    settings.defaultCountdownDuration = 600;
    f.state->setSettings(settings);
    f.change([](ClockModel& c) {
        c.countdown.reset();
        c.timeUntil.reset();
        c.timecode.reset();
    });
    f.open();

    f.chooseMode(ClockMode::countdown);
    EXPECT_EQ(f.clock().mode, ClockMode::countdown);
    EXPECT_EQ(f.clock().countdown,
              (CountdownSettings{1800, 1800, false, 60, ColorValue::yellow(), ColorValue::yellow(), true}));
    ASSERT_NE(f.section<CountdownSettingsEditor>(), nullptr);

    f.chooseMode(ClockMode::stopwatch);
    EXPECT_TRUE(PanelFixture::labelTexts(f.panel->modeSection()).contains(QStringLiteral("No options")));

    // Without a runtime there is no timecode editor, and nothing is created for it.
    f.chooseMode(ClockMode::timecode);
    EXPECT_TRUE(
        PanelFixture::labelTexts(f.panel->modeSection()).contains(QStringLiteral("No input available")));
    EXPECT_FALSE(f.clock().timecode.has_value());

    f.chooseMode(ClockMode::timeUntil);
    EXPECT_EQ(f.clock().timeUntil, (TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true}));
    ASSERT_NE(f.section<TimeUntilSettingsEditor>(), nullptr);
    // The countdown record of the earlier mode stays.
    EXPECT_TRUE(f.clock().countdown.has_value());
    EXPECT_EQ(f.panel->typeMenu()->currentText(), QStringLiteral("Time until\u2026"));
}

TEST(ClockSettingsPopover, ColourWellsShareOneDialogThatClosesOnModeChange) {
    PanelFixture f;
    f.open();
    ColorWell* text = f.panel->colorWells()[1];
    const ColorValue before = f.clock().foregroundColor;
    QTest::mouseClick(text, Qt::LeftButton);
    ColorPanel* colors = f.panel->colorPanel();
    ASSERT_TRUE(colors->isOpen());
    // Showing a named colour in the dialog is not an edit.
    EXPECT_EQ(f.clock().foregroundColor, before);

    colors->dialog()->setCurrentColor(QColor::fromRgbF(0.25f, 0.5f, 1.0f, 0.5f));
    const RgbaComponents picked = f.clock().foregroundColor.components();
    // The dialog works in 8-bit steps.
    EXPECT_NEAR(picked.blue, 1.0, 1.0 / 255);
    EXPECT_NEAR(picked.alpha, 0.5, 1.0 / 255);

    QTest::mouseClick(f.panel->colorWells()[0], Qt::LeftButton);
    EXPECT_EQ(colors->target(), f.panel->colorWells()[0]);
    colors->dialog()->setCurrentColor(Qt::red);
    EXPECT_NEAR(f.clock().backgroundColor.components().red, 1.0, 1e-4);
    EXPECT_NEAR(f.clock().foregroundColor.components().blue, 1.0, 1e-4);

    f.chooseMode(ClockMode::countdown);
    EXPECT_FALSE(colors->isOpen());
    QTest::mouseClick(f.panel->colorWells()[2], Qt::LeftButton);

    ASSERT_TRUE(colors->isOpen());
    f.panel->hide();
    EXPECT_FALSE(colors->isOpen());
}

TEST(CountdownSettingsEditor, StartCommitMovesRemainingOnlyWhilePaused) {
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "running" : "paused");
        PanelFixture f;
        f.change([running](ClockModel& c) {
            c.mode = ClockMode::countdown;
            c.countdown =
                CountdownSettings{1800, 754, running, 60, ColorValue::yellow(), ColorValue::yellow(), true};
        });
        f.open();
        auto* editor = f.section<CountdownSettingsEditor>();
        ASSERT_NE(editor, nullptr);
        QLineEdit* minutes = editor->startFields()[1]->textBox();
        minutes->setFocus();
        minutes->selectAll();
        QTest::keyClicks(minutes, QStringLiteral("45"));
        EXPECT_EQ(f.clock().countdown->duration, 1800);
        QTest::keyClick(minutes, Qt::Key_Return);
        EXPECT_EQ(f.clock().countdown->duration, 2700);
        EXPECT_EQ(f.clock().countdown->remaining, running ? 754 : 2700);
    }
}

TEST(CountdownSettingsEditor, ComponentsRecombineWithoutFractionsAndClamp) {
    PanelFixture f;
    f.change([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown =
            CountdownSettings{90.5, 90.5, true, 60, ColorValue::yellow(), ColorValue::yellow(), true};
    });
    f.open();
    auto* editor = f.section<CountdownSettingsEditor>();
    ASSERT_NE(editor, nullptr);
    QStringList shown;
    for (TimeFieldEditor* field : editor->startFields()) {
        shown << field->textBox()->text();
    }
    EXPECT_EQ(shown, (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("30")}));
    QTest::mouseClick(editor->startFields()[2]->stepper()->upButton(), Qt::LeftButton);
    EXPECT_EQ(f.clock().countdown->duration, 91);

    QLineEdit* warnSeconds = editor->warningFields()[2]->textBox();
    warnSeconds->setFocus();
    warnSeconds->selectAll();
    QTest::keyClicks(warnSeconds, QStringLiteral("120"));
    QTest::keyClick(warnSeconds, Qt::Key_Return);
    EXPECT_EQ(f.clock().countdown->warningTime, 119);
    EXPECT_EQ(f.clock().countdown->duration, 91);

    QLineEdit* startHours = editor->startFields()[0]->textBox();
    startHours->setFocus();
    startHours->selectAll();
    QTest::keyClicks(startHours, QStringLiteral("250"));
    QTest::keyClick(startHours, Qt::Key_Return);
    EXPECT_EQ(f.clock().countdown->duration, 99 * 3600 + 91);

    QTest::mouseClick(editor->flashToggle(), Qt::LeftButton);
    EXPECT_FALSE(f.clock().countdown->flashWhenDone);
}

TEST(TimeUntilSettingsEditor, TargetHourStopsAt23AndTypedTextDiesWithTheSection) {
    PanelFixture f;
    f.change([](ClockModel& c) {
        c.mode = ClockMode::timeUntil;
        c.timeUntil = TimeUntilSettings{22, 0, 0, ColorValue::red(), ColorValue::red(), true};
    });
    f.open();
    auto* editor = f.section<TimeUntilSettingsEditor>();
    ASSERT_NE(editor, nullptr);
    Stepper* hours = editor->targetFields()[0]->stepper();
    hours->setFocus();
    QTest::keyClick(hours, Qt::Key_Up);
    QTest::keyClick(hours, Qt::Key_Up);
    EXPECT_EQ(f.clock().timeUntil->targetHour, 23);

    QLineEdit* minutes = editor->targetFields()[1]->textBox();
    minutes->setFocus();
    QTest::keyClicks(minutes, QStringLiteral("7"));
    f.chooseMode(ClockMode::clock);
    f.chooseMode(ClockMode::timeUntil);
    editor = f.section<TimeUntilSettingsEditor>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->targetFields()[1]->textBox()->text(), QStringLiteral("0"));
    EXPECT_EQ(f.clock().timeUntil->targetMinute, 0);
}

} // namespace
} // namespace tavix
