#include "editortestsupport.h"

#include "editors/clocksettingspopover.h"
#include "editors/colorpanel.h"
#include "editors/colorwell.h"
#include "editors/countdownsettingseditor.h"
#include "editors/popover.h"
#include "editors/stagesettingssection.h"
#include "editors/stepper.h"
#include "editors/timefieldeditor.h"
#include "editors/timeuntilsettingseditor.h"
#include "editors/toggle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tavix;

namespace {

struct PanelFixture : test::Store {
    std::unique_ptr<ClockSettingsPopover> panel;

    /// Opens the panel on the store's clock once `setUp` and `settings` have changed it and the settings.
    explicit PanelFixture(
        const std::function<void(ClockModel&)>& setUp = [](ClockModel&) {},
        const std::function<void(AppSettings&)>& settings = [](AppSettings&) {}) {
        changeSettings(settings);
        edit(setUp);
        open();
    }
    void open() {
        panel = std::make_unique<ClockSettingsPopover>(binding(), nullptr, 90, nullptr);
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    }
    void chooseMode(ClockMode mode) {
        test::chooseByKeys(panel->typeMenu(), panel->typeMenu()->findData(static_cast<int>(mode)));
    }
    template <typename Editor>
    Editor* section() const {
        return qobject_cast<Editor*>(panel->modeSection());
    }
    bool sectionShows(const QString& text) const {
        const auto labels = panel->modeSection()->findChildren<QLabel*>();
        return std::any_of(labels.begin(), labels.end(), [&text](QLabel* l) { return l->text() == text; });
    }
    // Types into a field of a mode section and presses Return.
    static void enter(TimeFieldEditor* field, const QString& text) {
        test::retype(field->textBox(), text);
        QTest::keyClick(field->textBox(), Qt::Key_Return);
    }
};

TEST(ClockSettingsPopover, OffsetBoxWritesEveryKeystrokeAndTheStepperWholeHours) {
    PanelFixture f([](ClockModel& c) { c.timeZoneOffset.reset(); });
    QLineEdit* box = f.panel->offsetBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), u"+0:00"_s);
    for (const auto& [text, seconds] :
         std::vector<std::pair<QString, double>>{{u"  -5:30  "_s, -19800}, {u"5:90"_s, 23400}}) {
        test::retype(box, text);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(f.clock().timeZoneOffset, seconds) << text.toStdString();
    }
    // Leaving the box shows the stored offset in its normal form.
    f.panel->nameBox()->setFocus();
    EXPECT_EQ(box->text(), u"+6:30"_s);
    QTest::mouseClick(f.panel->offsetStepper()->upButton(), Qt::LeftButton);
    EXPECT_EQ(f.clock().timeZoneOffset, 25200.0);
    f.edit([](ClockModel& c) { c.timeZoneOffset = -19800; });
    EXPECT_EQ(box->text(), u"-5:30"_s);
    QTest::mouseClick(f.panel->offsetStepper()->downButton(), Qt::LeftButton);
    EXPECT_EQ(std::tuple(f.clock().timeZoneOffset, box->text()), std::tuple(-21600.0, u"-6:00"_s));
}

TEST(ClockSettingsPopover, CommonRowsWriteStraightIntoTheClockAndANoteSaysWhatTheDesktopIgnores) {
    PanelFixture f([](ClockModel& c) { c.opacity = 0.57; });
    EXPECT_EQ(f.panel->opacityText()->text(), u"56%"_s);
    f.panel->opacitySlider()->setFocus();
    QTest::keyClick(f.panel->opacitySlider(), Qt::Key_Right);
    EXPECT_EQ(std::tuple(f.clock().opacity, f.panel->opacityText()->text()), std::tuple(0.6, u"60%"_s));
    test::retype(f.panel->nameBox(), u" Stage "_s);
    EXPECT_EQ(f.clock().name, u" Stage "_s);

    QLabel* note = f.panel->desktopNote();
    EXPECT_FALSE(note->isVisibleTo(f.panel.get()));
    f.panel->setDesktop(detectDesktop("wayland", "wayland-0", "wayland"));
    EXPECT_TRUE(note->isVisibleTo(f.panel.get()));
    EXPECT_TRUE(note->text().contains(u"Your desktop does not let apps keep windows on top"_s));
    // The setting itself still works: it is kept for a desktop that honours it.
    QTest::mouseClick(f.panel->alwaysOnTopToggle(), Qt::LeftButton);
    EXPECT_TRUE(f.clock().alwaysOnTop);
    f.panel->setDesktop(detectDesktop("xcb", "wayland-0", "wayland"));
    EXPECT_FALSE(note->isVisibleTo(f.panel.get()));
}

TEST(ClockSettingsPopover, StageRowsWriteTheStageRecordAndFollowItLive) {
    PanelFixture f;
    auto* stage = f.panel->findChild<StageSettingsSection*>();
    ASSERT_TRUE(stage);
    EXPECT_FALSE(f.clock().stage) << "only a change makes the record";
    EXPECT_EQ(stage->screenMenu()->count(), QGuiApplication::screens().size());
    // A screen's name and size show whole in the panel's width, a long one too.
    stage->screenMenu()->addItem(u"HDMI-A-1 (3840\u00D72160)"_s);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_GE(stage->screenMenu()->width(), stage->screenMenu()->sizeHint().width());
    QTest::mouseClick(stage->stageModeToggle(), Qt::LeftButton);
    ASSERT_TRUE(f.clock().stage);
    EXPECT_TRUE(f.clock().stage->isActive);
    test::retype(stage->messageBox(), u"Act 2"_s);
    EXPECT_EQ(f.clock().stage->message, u"Act 2"_s);
    EXPECT_EQ(f.clock().stage->caption, CaptionKind::message) << "typing a message shows it";
    QTest::mouseClick(stage->clickThroughToggle(), Qt::LeftButton);
    EXPECT_TRUE(f.clock().stage->clickThrough);
    // A remote change shows in the open panel.
    f.edit([](ClockModel& c) { c.stage->caption = CaptionKind::name; });
    EXPECT_EQ(stage->captionMenu()->currentData().toInt(), static_cast<int>(CaptionKind::name));
}

TEST(ClockSettingsPopover, ChoosingAModeCreatesItsMissingRecordWithThePanelsFallback) {
    PanelFixture f(
        [](ClockModel& c) {
            c.countdown.reset();
            c.timeUntil.reset();
            c.timecode.reset();
        },
        [](AppSettings& s) { s.defaultCountdownDuration = 600; });

    f.chooseMode(ClockMode::countdown);
    EXPECT_EQ(f.clock().mode, ClockMode::countdown);
    EXPECT_EQ(f.clock().countdown,
              (CountdownSettings{1800, 1800, false, 60, ColorValue::yellow(), ColorValue::yellow(), true}));
    EXPECT_NE(f.section<CountdownSettingsEditor>(), nullptr);

    f.chooseMode(ClockMode::stopwatch);
    ASSERT_NE(f.panel->stopwatchTenthsToggle(), nullptr);
    QTest::mouseClick(f.panel->stopwatchTenthsToggle(), Qt::LeftButton);
    EXPECT_TRUE(f.clock().stopwatch->showTenths);
    // Without a runtime there is no timecode editor, and nothing is created for it.
    f.chooseMode(ClockMode::timecode);
    EXPECT_TRUE(f.sectionShows(u"No input available"_s));
    EXPECT_FALSE(f.clock().timecode.has_value());

    f.chooseMode(ClockMode::timeUntil);
    EXPECT_EQ(f.clock().timeUntil, (TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true}));
    EXPECT_NE(f.section<TimeUntilSettingsEditor>(), nullptr);
    // The countdown record of the earlier mode stays.
    EXPECT_TRUE(f.clock().countdown.has_value());
    EXPECT_EQ(f.panel->typeMenu()->currentText(), u"Time until\u2026"_s);
}

TEST(ClockSettingsPopover, ColourWellsShareOneDialogThatClosesOnModeChangeAndHide) {
    PanelFixture f;
    const ColorValue before = f.clock().foregroundColor;
    QTest::mouseClick(f.panel->colorWells()[1], Qt::LeftButton);
    ColorPanel* colors = f.panel->colorPanel();
    ASSERT_TRUE(colors->isOpen());
    // Showing a named colour in the dialog is not an edit.
    EXPECT_EQ(f.clock().foregroundColor, before);
    colors->dialog()->setCurrentColor(QColor::fromRgbF(0.25f, 0.5f, 1.0f, 0.5f));
    // The dialog works in 8-bit steps.
    EXPECT_NEAR(f.clock().foregroundColor.components().blue, 1.0, 1.0 / 255);
    EXPECT_NEAR(f.clock().foregroundColor.components().alpha, 0.5, 1.0 / 255);

    QTest::mouseClick(f.panel->colorWells()[0], Qt::LeftButton);
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

TEST(CountdownSettingsEditor, StartFieldsRecombineClampAndMoveOnlyAPausedRemaining) {
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "running" : "paused");
        PanelFixture f([running](ClockModel& c) {
            c.mode = ClockMode::countdown;
            c.countdown =
                CountdownSettings{90.5, 75, running, 60, ColorValue::yellow(), ColorValue::yellow(), true};
        });
        auto* editor = f.section<CountdownSettingsEditor>();
        ASSERT_NE(editor, nullptr);
        const auto& start = editor->startFields();
        EXPECT_EQ(start[0]->textBox()->text() + start[1]->textBox()->text() + start[2]->textBox()->text(),
                  u"0130"_s);
        // Warn At clamps each component and leaves the start and the remaining time alone.
        PanelFixture::enter(editor->warningFields()[2], u"120"_s);
        EXPECT_EQ(f.clock().countdown->warningTime, 119);
        EXPECT_EQ(f.clock().countdown->remaining, 75);

        QTest::mouseClick(start[2]->stepper()->upButton(), Qt::LeftButton);
        EXPECT_EQ(f.clock().countdown->duration, 91);
        EXPECT_EQ(f.clock().countdown->remaining, running ? 75 : 91);
        test::retype(start[1]->textBox(), u"45"_s);
        EXPECT_EQ(f.clock().countdown->duration, 91);
        QTest::keyClick(start[1]->textBox(), Qt::Key_Return);
        EXPECT_EQ(f.clock().countdown->duration, 2731);
        PanelFixture::enter(start[0], u"250"_s);
        EXPECT_EQ(f.clock().countdown->duration, 99 * 3600 + 2731);
        EXPECT_EQ(f.clock().countdown->remaining, running ? 75 : 99 * 3600 + 2731);

        Q_EMIT editor->flashStyleMenu()->activated(2);
        EXPECT_FALSE(f.clock().countdown->flashWhenDone);
        Q_EMIT editor->flashStyleMenu()->activated(1);
        EXPECT_TRUE(f.clock().countdown->flashWhenDone);
        EXPECT_EQ(f.clock().countdown->overtimeFlashStyle, OvertimeFlashStyle::outlineAndBackground);
    }
}

TEST(TimeUntilSettingsEditor, TargetHourStopsAt23AndTypedTextIsKeptWhenTheSectionGoes) {
    PanelFixture f([](ClockModel& c) {
        c.mode = ClockMode::timeUntil;
        c.timeUntil = TimeUntilSettings{22, 0, 0, ColorValue::red(), ColorValue::red(), true};
    });
    auto* editor = f.section<TimeUntilSettingsEditor>();
    ASSERT_NE(editor, nullptr);
    Stepper* hours = editor->targetFields()[0]->stepper();
    QTest::keyClick(hours, Qt::Key_Up);
    QTest::keyClick(hours, Qt::Key_Up);
    EXPECT_EQ(f.clock().timeUntil->targetHour, 23);

    test::retype(editor->targetFields()[1]->textBox(), u"7"_s);
    f.chooseMode(ClockMode::clock);
    f.chooseMode(ClockMode::timeUntil);
    editor = f.section<TimeUntilSettingsEditor>();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->targetFields()[1]->textBox()->text(), u"7"_s);
    EXPECT_EQ(f.clock().timeUntil->targetMinute, 7) << "choosing another mode takes the typed minute";
}

// A clock window stand-in: a settings button that opens the popover, plus somewhere else to click.
struct PopoverFixture : test::Store {
    QWidget window;
    QPushButton* button = new QPushButton(u"Settings"_s, &window);
    QPushButton* elsewhere = new QPushButton(u"Elsewhere"_s, &window);
    QPointer<Popover> popover;
    QPointer<ClockSettingsPopover> panel;
    int opened = 0;

    PopoverFixture() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(elsewhere);
        QObject::connect(button, &QPushButton::clicked, &window, [this] {
            panel = new ClockSettingsPopover(binding(), nullptr, 90, nullptr);
            popover = Popover::open(button, panel);
            ++opened;
        });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(popover && popover->isVisible());
    }
};

TEST(Popover, StaysOpenWhileItsColourDialogAndMenusAreUsed) {
    PopoverFixture f;
    QSignalSpy dismissed(f.popover.data(), &Popover::dismissed);
    QTest::mouseClick(f.panel->colorWells()[0], Qt::LeftButton);
    QColorDialog* dialog = f.panel->colorPanel()->dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(10, 10));
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (child->isVisible() && child->inherits("QLineEdit")) {
            QTest::mouseClick(child, Qt::LeftButton);
            break;
        }
    }
    ASSERT_TRUE(f.popover);
    EXPECT_TRUE(f.popover->isVisible());

    QComboBox* menu = f.panel->typeMenu();
    menu->showPopup();
    QAbstractItemView* list = menu->view();
    ASSERT_TRUE(list->isVisible());
    const QRect countdown = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, countdown.center());
    EXPECT_FALSE(test::closes(f.popover));
    EXPECT_EQ(std::tuple(f.clock().mode, dismissed.count()), std::tuple(ClockMode::countdown, 0));
}

TEST(Popover, ClosesOnAClickElsewhereAndTakesItsColourDialogAlong) {
    PopoverFixture f;
    QSignalSpy dismissed(f.popover.data(), &Popover::dismissed);
    QTest::mouseClick(f.panel->colorWells()[1], Qt::LeftButton);
    const QPointer<QColorDialog> dialog = f.panel->colorPanel()->dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::mouseClick(f.elsewhere, Qt::LeftButton);
    EXPECT_TRUE(test::closes(f.popover));
    EXPECT_EQ(std::tuple(dismissed.count(), dialog.isNull() || !dialog->isVisible()), std::tuple(1, true));
}

TEST(Popover, EscapeClosesAndTheSettingsButtonTogglesInsteadOfReopening) {
    PopoverFixture f;
    // Escape in an open menu closes the menu only.
    QComboBox* menu = f.panel->typeMenu();
    menu->setFocus();
    menu->showPopup();
    ASSERT_TRUE(menu->view()->isVisible());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : menu->view(), Qt::Key_Escape);
    EXPECT_FALSE(menu->view()->isVisible());
    EXPECT_FALSE(test::closes(f.popover));

    f.panel->nameBox()->setFocus();
    QTest::keyClick(f.panel->nameBox(), Qt::Key_Escape);
    EXPECT_TRUE(test::closes(f.popover));

    QTest::mouseClick(f.button, Qt::LeftButton);
    ASSERT_TRUE(f.popover);
    EXPECT_EQ(f.opened, 2);
    QTest::mouseClick(f.button, Qt::LeftButton);
    EXPECT_TRUE(test::closes(f.popover));
    EXPECT_EQ(f.opened, 2);
}

} // namespace
