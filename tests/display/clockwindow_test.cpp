#include "display/clockwindow.h"
#include "display/fittedtext.h"
#include "display/tickengine.h"
#include "display/timecodeclockview.h"
#include "display/timerundo.h"
#include "editors/clocksettingspopover.h"
#include "display/wallclock.h"
#include "displaytest.h"
#include "timecode/timecoderuntime.h"
#include "timecode/timecoderuntimeholder.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavix;
using namespace Qt::StringLiterals;

namespace {

// A shown 600x200 window on the store's one clock, at 14:30:05.
struct Rig : test::TimedStore {
    std::unique_ptr<ClockWindow> window;

    explicit Rig(const std::function<void(ClockModel&)>& setUp = [](ClockModel&) {})
        : TimedStore(QTime(14, 30, 5)) {
        edit(setUp);
        window = std::make_unique<ClockWindow>(timers, ticks, id(), nullptr);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(600, 200);
        window->show();
        QCoreApplication::processEvents();
    }
    void tick(double afterSeconds) {
        time.advance(afterSeconds);
        window->engine()->tick();
    }
    QString text() const { return window->display()->text(); }
};

} // namespace

TEST(FittedText, IsAsLargeAsFitsNeverClippedAndRefitsOnlyWhenTheShapeChanges) {
    FittedText widget;
    widget.setInset(10);
    for (const auto& [size, text] : std::initializer_list<std::pair<QSize, const char*>>{
             {{200, 80}, "0:00"}, {{400, 160}, "-100:00:00"}, {{120, 40}, "23:59:59"}, {{3000, 40}, "1"}}) {
        widget.resize(size);
        widget.setText(QString::fromUtf8(text));
        const QRectF area = QRectF(widget.rect()).adjusted(10, 10, -10, -10);
        const QRectF box = widget.textBox();
        EXPECT_TRUE(area.contains(box)) << text << " in " << size.width() << "x" << size.height();
        EXPECT_TRUE(box.width() > area.width() * 0.9 || box.height() > area.height() * 0.85)
            << text << " leaves too much room: " << box.width() << "x" << box.height();
    }
    widget.resize(30, 22);
    widget.setText(u"-100:00:00"_s);
    EXPECT_EQ(widget.fittedPixelSize(), FittedText::kMinimumPixelSize) << "shrinks no further than 1%";
    // The size is worked out when the shape of the text changes, not at every tick or paint.
    const int fits = widget.fitCount();
    widget.setText(u"-123:45:59"_s);
    widget.repaint();
    EXPECT_EQ(widget.fitCount(), fits) << "same length, digits only: no refit";
    widget.setText(u"0:00"_s);
    EXPECT_EQ(widget.fitCount(), fits + 1);

    // Room kept for a caption (NO LTC) is inside the area too, also where the height is the limit.
    widget.setCaptionRoom(true);
    for (const QSize size : {QSize(900, 130), QSize(300, 300)}) {
        widget.resize(size);
        widget.setText(u"00:00:00:00"_s);
        const QRectF area = QRectF(widget.rect()).adjusted(10, 10, -10, -10);
        EXPECT_TRUE(area.contains(widget.textBox().united(widget.captionBox())))
            << size.width() << "x" << size.height();
    }
}

TEST(FittedText, DisplaysOfOneSizeAndColourShareTheirGlyphsUntilTheLastGoes) {
    const int before = FittedText::glyphSetCount();
    {
        std::vector<std::unique_ptr<FittedText>> displays;
        for (int i = 0; i < 5; ++i) {
            displays.push_back(std::make_unique<FittedText>());
            displays.back()->resize(300, 100);
            displays.back()->setText(u"12:34"_s);
            displays.back()->grab();
        }
        EXPECT_EQ(FittedText::glyphSetCount(), before + 1);
        displays.back()->setColor(Qt::red);
        displays.back()->grab();
        EXPECT_EQ(FittedText::glyphSetCount(), before + 2);
    }
    EXPECT_EQ(FittedText::glyphSetCount(), before);
}

TEST(FittedText, EveryDigitHasTheSameWidthSoRunningClocksDoNotJitter) {
    for (const int size : {12, 150, 1000}) {
        const QFontMetricsF metrics(FittedText::displayFont(size));
        for (const QChar digit : u"123456789"_s) {
            EXPECT_EQ(metrics.horizontalAdvance(digit), metrics.horizontalAdvance(QLatin1Char('0'))) << size;
        }
    }
}

TEST(FittedText, ARightToLeftTimeIsLaidOutAsOneStringWithItsMarkerBeforeTheDigits) {
    const auto arabic = [](QTime time) {
        return wallClockText(QDateTime(QDate(2024, 6, 12), time), std::nullopt, u"ar_EG"_s);
    };
    const QString sample = arabic(QTime(2, 30, 5));
    ASSERT_TRUE(std::any_of(sample.begin(), sample.end(), [](QChar c) { return c.isLetter(); }))
        << "the time has its AM/PM marker";
    FittedText widget;
    widget.resize(600, 150);
    widget.show();
    QCoreApplication::processEvents();
    const auto render = [&](QTime time) {
        widget.setText(arabic(time));
        return widget.grab().toImage();
    };
    // Where two times of one shape differ on screen, as a span of columns.
    const auto changedColumns = [&](QTime from, QTime to) {
        const QImage before = render(from);
        const int fits = widget.fitCount();
        const QImage after = render(to);
        EXPECT_EQ(widget.fitCount(), fits) << "Arabic-Indic digits have equal widths too: no refit";
        int left = after.width();
        int right = -1;
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                if (before.pixel(x, y) != after.pixel(x, y)) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return std::pair(left, right);
    };
    // Read from the right, the marker comes first; the digits keep their left-to-right order after
    // it. So the seconds end the box on the right, and the hour starts clear of its left edge.
    const auto [secondsLeft, secondsRight] = changedColumns(QTime(2, 30, 5), QTime(2, 30, 6));
    const auto [hourLeft, hourRight] = changedColumns(QTime(2, 30, 5), QTime(3, 30, 5));
    const QRectF box = widget.textBox();
    const qreal tenth = box.width() / 10;
    EXPECT_GT(secondsRight, box.right() - tenth) << "seconds at " << secondsLeft << ".." << secondsRight;
    EXPECT_GT(hourLeft, box.left() + tenth)
        << "hour at " << hourLeft << ".." << hourRight << " in " << box.left() << ".." << box.right();
}

TEST(ClockWindow, CopiesNameOpacityAndLevelOntoTheWindow) {
    // Qt reads "[*]" in a window title as a placeholder; a clock's name is shown as it is.
    Rig rig([](ClockModel& c) { c.name = u"Stage [*] left"_s; });
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->windowHandle()->title(), u"Stage [*] left"_s);
    EXPECT_FALSE(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    rig.edit([](ClockModel& c) {
        c.alwaysOnTop = true;
        c.opacity = 0.0; // a hand-edited file must not make the window unreachable
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                         rig.window->isVisible(), rig.window->minimumSize()),
              std::tuple(true, true, QSize(360, 150)));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.1, 0.01);
}

TEST(ClockWindow, EachModeShowsItsSymbolControlsAndTextAndTheSettingsButtonOpensThePopover) {
    Rig rig;
    const auto show = [&](ClockMode mode, const char* help, bool controls) {
        rig.edit([&](ClockModel& clock) { clock.mode = mode; });
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.window->modeSymbolLabel()->toolTip(), QString::fromUtf8(help));
        EXPECT_EQ(rig.window->controlRow()->isVisible(), controls) << help;
        EXPECT_EQ(rig.window->timecodeView() != nullptr, mode == ClockMode::timecode) << help;
        return rig.text().toStdString();
    };
    show(ClockMode::clock, "Time", false);
    EXPECT_EQ(show(ClockMode::countdown, "Countdown", true), "30:00");
    EXPECT_EQ(show(ClockMode::stopwatch, "Stopwatch", true), "0:00");
    EXPECT_EQ(show(ClockMode::timeUntil, "Time until\u2026", false), "3:29:55");
    show(ClockMode::timecode, "Timecode", false);
    QTest::mouseClick(rig.window->settingsButton(), Qt::LeftButton);
    ASSERT_TRUE(rig.window->showingSettings());
    rig.window->popover()->close();
    EXPECT_FALSE(rig.window->showingSettings()) << "dismissing the popover is noticed";
}

TEST(ClockWindow, TheButtonsDriveTheCountdownAndItsColoursAndFlashReachTheScreen) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown->remaining = 1.5;
    });
    const QRgb warning = QColor::fromRgbF(1.0f, 0.84f, 0.04f).rgb();
    EXPECT_EQ(std::pair(rig.window->display()->color().rgb(), rig.window->outlineColor().rgb()),
              std::pair(warning, warning));
    QTest::mouseClick(rig.window->startPauseButton(), Qt::LeftButton);
    EXPECT_EQ(rig.window->startPauseButton()->text(), u"Pause"_s);
    rig.tick(1.0);
    rig.tick(1.0);
    EXPECT_FALSE(rig.window->display()->isTextVisible()) << "overtime: the first tick hides the text";
    rig.tick(1.0);
    EXPECT_EQ(std::tuple(rig.window->display()->isTextVisible(), rig.text()), std::tuple(true, u"-0:01"_s));
    QTest::mouseClick(rig.window->resetButton(), Qt::LeftButton);
    EXPECT_EQ(std::pair(rig.window->startPauseButton()->text(), rig.text()),
              std::pair(u"Start"_s, u"30:00"_s));
    EXPECT_NE(rig.window->display()->color().rgb(), warning);
}

TEST(ClockWindow, MissingSettingsShowMessagesAndAStopwatchGetsItsRecord) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown.reset();
        c.stopwatch.reset();
        c.timeUntil.reset();
    });
    EXPECT_EQ(std::tuple(rig.window->message()->text(), rig.window->message()->isVisible(),
                         rig.window->controlRow()->isVisible()),
              std::tuple(u"No Countdown Data"_s, true, false));
    rig.tick(1.0);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::timeUntil; });
    EXPECT_EQ(rig.window->message()->text(), u"No Target Time"_s);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_EQ(std::pair(rig.clock().stopwatch, rig.window->message()->isVisible()),
              std::pair(std::optional(StopwatchSettings{0, false}), false))
        << "shown once, it has settings";
}

TEST(ClockWindow, ADeletedClockTurnsIntoTheGreyPlaceholderAndStaysOpen) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::countdown; });
    rig.window->engine()->startPause();
    rig.state.removeClock(rig.id());
    QCoreApplication::processEvents();
    EXPECT_EQ(
        std::tuple(rig.window->isVisible(), rig.window->windowTitle(), rig.window->controlRow()->isVisible()),
        std::tuple(true, u"Deleted Clock"_s, false));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.5, 0.01);
    rig.tick(1.0);
    rig.window->engine()->reset();
    EXPECT_TRUE(rig.state.clocks().isEmpty()) << "writes to a deleted clock are dropped";
}

TEST(ClockWindow, KeysOperateTheTimerAndCtrlZTakesBackTheResetAndTheNudges) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::countdown; });
    ClockWindow* window = rig.window.get();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    const auto remaining = [&] { return *rig.timers.currentRemaining(rig.id()); };
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, double> presses[] = {
        {Qt::Key_Up, Qt::NoModifier, 60},      {Qt::Key_Down, Qt::NoModifier, -60},
        {Qt::Key_Plus, Qt::NoModifier, 60},    {Qt::Key_Minus, Qt::KeypadModifier, -60},
        {Qt::Key_Up, Qt::ShiftModifier, 10},   {Qt::Key_Down, Qt::ShiftModifier, -10},
        {Qt::Key_Plus, Qt::KeypadModifier, 60}};
    for (const auto& [key, modifiers, change] : presses) {
        const double before = remaining();
        QTest::keyClick(window, key, modifiers);
        EXPECT_DOUBLE_EQ(remaining(), before + change) << key << " " << modifiers;
    }
    EXPECT_EQ(rig.text(), u"31:00"_s);
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_TRUE(rig.clock().countdown->isRunning);
    rig.tick(90);
    QTest::keyClick(window, Qt::Key_R);
    EXPECT_EQ(std::tuple(rig.clock().countdown->isRunning, rig.text()), std::tuple(false, u"30:00"_s));
    // What an undo gives back is the undo list's test; here the key and the entry's text.
    const QList<QAction*> actions = window->timerActions();
    EXPECT_EQ(actions.last()->text(), u"Undo Reset"_s);
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(rig.clock().countdown->isRunning);
    EXPECT_EQ(actions.last()->text(), u"Undo +1 min"_s);

    // The entries are in the window's context menu; a wall clock has neither the entries nor the keys.
    EXPECT_TRUE(window->actions().contains(actions.first()));
    EXPECT_LT(window->actions().indexOf(actions.last()),
              window->actions().indexOf(window->stageModeAction()));
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    EXPECT_FALSE(actions.first()->isVisible());
}

TEST(ClockWindow, TheCountdownSettingsAdjustTheTimeLeftUndoably) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::countdown; });
    rig.window->toggleSettings();
    auto* settings = rig.window->popover()->findChild<ClockSettingsPopover*>();
    ASSERT_TRUE(settings);
    ASSERT_TRUE(settings->minuteUpButton());
    // Keys typed in the panel belong to its fields, not to the window's timer.
    rig.window->popover()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window->popover()));
    settings->nameBox()->setFocus();
    for (const Qt::Key key : {Qt::Key_Up, Qt::Key_Space, Qt::Key_R, Qt::Key_Down}) {
        QTest::keyClick(settings->nameBox(), key);
    }
    EXPECT_EQ(std::pair(rig.clock().countdown->remaining, rig.clock().countdown->isRunning),
              std::pair(1800.0, false));
    settings->minuteDownButton()->click();
    settings->minuteDownButton()->click();
    settings->minuteUpButton()->click();
    EXPECT_EQ(std::pair(rig.clock().countdown->remaining, rig.clock().countdown->duration),
              std::pair(1740.0, 1800.0))
        << "the start value stays";
    rig.window->timerUndo()->undo();
    EXPECT_EQ(rig.clock().countdown->remaining, 1680);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_FALSE(settings->minuteUpButton());
}

TEST(TimecodeClockView, StoresDefaultsOnAppearShowsTheRuntimeAndHoldsIt) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::timecode;
        c.timecode.reset();
    });
    TimecodeClockView* view = rig.window->timecodeView();
    ASSERT_TRUE(view);
    EXPECT_EQ(rig.clock().timecode, TimecodeRuntimeHolder::defaultSettings());
    TimecodeRuntime* runtime = rig.window->timecodeHolder()->runtime();
    FittedText* display = view->display();
    // No warning colours in timecode mode: always the clock's text colour.
    const QColor text = QColor::fromRgbF(0.20f, 0.84f, 0.30f);

    // Nothing decoded yet: the zero time, dimmed, with NO LTC under it in the text colour, at least
    // an eighth of the digits' height.
    const auto shown = [&] { return std::pair(display->text(), display->caption()); };
    EXPECT_EQ(std::tuple(display->text(), display->caption(), display->captionColor()),
              std::tuple(u"00:00:00:00"_s, u"NO LTC"_s, text));
    EXPECT_NEAR(display->color().alphaF(), TimecodeClockView::kDimmedOpacity, 0.01);
    EXPECT_GE(display->captionBox().height(), display->textBox().height() / 8);
    EXPECT_GT(display->captionBox().top(), display->textBox().bottom());

    // Drop-frame timecode arrives: live, full strength, a semicolon before the frames.
    runtime->setInput({0.5f, TimecodeRuntime::Time{10, 0, 0, 12, true}, true, 0});
    EXPECT_EQ(std::tuple(display->text(), display->caption(), display->color()),
              std::tuple(u"10:00:00;12"_s, QString(), text));
    const QRectF digits = display->textBox();

    // Lost: the last time stays where it was, dimmed, with NO LTC; HOLD wins over it.
    runtime->setHasLiveTimecode(false);
    EXPECT_EQ(shown(), std::pair(u"10:00:00;12"_s, u"NO LTC"_s));
    EXPECT_EQ(display->textBox(), digits);
    QTest::mouseClick(view->holdButton(), Qt::LeftButton);
    EXPECT_EQ(std::tuple(runtime->holdEnabled(), display->caption(), display->color()),
              std::tuple(true, QString(), text));
}

TEST(ClockWindow, DigitsKeepTheirSizeWhileTheTextChangesLengthWithinTheRange) {
    // Each countdown runs through texts of different lengths (10:00 to 9:59, 1:00:00 to 59:59, a
    // sign appearing); the size is that of the widest text of the range throughout.
    for (const double start : {600.0, 3600.0, 61.0}) {
        Rig rig([start](ClockModel& c) {
            c.mode = ClockMode::countdown;
            c.countdown->duration = c.countdown->remaining = start;
            c.countdown->warningTime = 30;
        });
        const int size = rig.window->display()->fittedPixelSize();
        QTest::mouseClick(rig.window->startPauseButton(), Qt::LeftButton);
        for (const double step : {0.995, 2.0, start - 5, 6.0}) {
            rig.tick(step);
            EXPECT_EQ(rig.window->display()->fittedPixelSize(), size)
                << start << ": " << rig.text().toStdString();
            EXPECT_TRUE(QRectF(rig.window->display()->rect()).contains(rig.window->display()->textBox()));
        }
    }
}

TEST(ClockWindow, OutlineAndBackgroundFlashKeepsTheDigitsAndShowsOvertimeAsPlus) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.backgroundColor = ColorValue::black();
        c.countdown->remaining = 0.5;
        c.countdown->flashWhenDone = true;
        c.countdown->overtimeFlashStyle = OvertimeFlashStyle::outlineAndBackground;
        c.countdown->overtimeOutlineColor = ColorValue::srgb(1, 0, 0, 1);
    });
    rig.changeSettings([](AppSettings& s) { s.showOvertimeAsPlus = true; });
    QTest::mouseClick(rig.window->startPauseButton(), Qt::LeftButton);
    rig.tick(1.5);
    EXPECT_EQ(rig.text(), u"+0:01"_s);
    std::vector<std::pair<bool, QRgb>> phases;
    for (int i = 0; i < 2; ++i) {
        phases.emplace_back(rig.window->display()->isTextVisible(), rig.window->backgroundColor().rgb());
        rig.tick(1.0);
    }
    EXPECT_EQ(phases, (std::vector<std::pair<bool, QRgb>>{{true, qRgb(255, 0, 0)}, {true, qRgb(0, 0, 0)}}));
}

// Entering and leaving by key and by the remote control under a real window manager, the frame
// given back exactly and the stage saved, are the stage test's part; here what the window shows.
TEST(ClockWindow, StageModeShowsOnlyTheDigitsAndTheCaptionAndTakesInput) {
    Rig rig([&](ClockModel& clock) {
        clock.mode = ClockMode::timeUntil;
        clock.stage = StageSettings{false, std::nullopt, CaptionKind::message, u"Act 2"_s, true};
    });
    ClockWindow& window = *rig.window;
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowTransparentForInput)) << "floating: clicks pass";
    const auto shown = [&] {
        return std::tuple(window.isInStageMode(), window.header()->isVisible(),
                          window.windowFlags().testFlag(Qt::WindowTransparentForInput));
    };
    QTest::keyClick(&window, Qt::Key_F11);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), std::tuple(true, false, false));
    EXPECT_TRUE(window.caption()->isVisible());
    // The digits take at least 85% of the width or the height, whichever binds: the widest
    // text of the clock's range does, so that the size stays put as the text changes.
    const QSizeF box = window.display()->fittedSize();
    EXPECT_TRUE(box.width() >= 0.85 * window.width() || box.height() >= 0.85 * window.height())
        << rig.text().toStdString() << ": " << box.width() << "x" << box.height() << " in " << window.width()
        << "x" << window.height();
    QTest::keyClick(&window, Qt::Key_F11);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown(), std::tuple(false, true, true));
}

TEST(ClockWindow, TheStageGoesToTheChosenScreenOrThePrimaryWhenThatOneIsMissing) {
    Rig rig([](ClockModel& c) {
        c.stage = StageSettings{};
        c.stage->isActive = true;
        c.stage->screenName = u"no such screen"_s;
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->stageScreen(), QGuiApplication::primaryScreen());
    const QString name = QGuiApplication::primaryScreen()->name();
    rig.window->stageScreenMenu()->aboutToShow();
    const QList<QAction*> entries = rig.window->actions(); // the context menu: Stage Mode, then its screen
    EXPECT_EQ(entries.indexOf(rig.window->stageScreenMenu()->menuAction()),
              entries.indexOf(rig.window->stageModeAction()) + 1);
    ASSERT_FALSE(rig.window->stageScreenMenu()->actions().isEmpty());
    EXPECT_TRUE(rig.window->stageScreenMenu()->actions().first()->text().startsWith(name));
    rig.window->stageScreenMenu()->actions().first()->trigger();
    EXPECT_EQ(std::tuple(rig.clock().stage->screenName, rig.window->isInStageMode()), std::tuple(name, true));
    // The Escape key only leaves a stage; on a floating window it does nothing to the record.
    rig.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(rig.window.get()));
    QTest::keyClick(rig.window.get(), Qt::Key_Escape);
    QTest::keyClick(rig.window.get(), Qt::Key_Escape);
    EXPECT_FALSE(rig.clock().stage->isActive);
}
