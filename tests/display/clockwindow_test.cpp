#include "display/clockwindow.h"
#include "display/fittedtext.h"
#include "display/tickengine.h"
#include "display/timecodeclockview.h"
#include "faketime.h"
#include "model/appstate.h"
#include "testsupport.h"
#include "timecode/timecoderuntime.h"
#include "timecode/timecoderuntimeholder.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>

using namespace tavix;

namespace {

struct Rig {
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    AppState state{file};
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(14, 30, 5))};
    QUuid id = state.clocks().first().id;
    std::unique_ptr<ClockWindow> window;

    explicit Rig(const std::function<void(ClockModel&)>& setUp = {}) {
        if (setUp) {
            edit(setUp);
        }
        window = std::make_unique<ClockWindow>(&state, id, nullptr, time);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(600, 200);
        window->show();
        QCoreApplication::processEvents();
    }
    ~Rig() {
        window.reset();
        file->flushPendingWrites();
    }
    ClockModel clock() const { return state.clocks().first(); }
    void edit(const std::function<void(ClockModel&)>& change) {
        ClockModel clock = state.clocks().first();
        change(clock);
        state.setClock(0, clock);
    }
    void settle() { QCoreApplication::processEvents(); }
};

} // namespace

TEST(FittedText, IsAsLargeAsFitsAndNeverClipped) {
    struct Case {
        QSize size;
        const char* text;
    };
    FittedText widget;
    widget.setInset(10);
    for (const Case& c : std::initializer_list<Case>{
             {{200, 80}, "0:00"},
             {{400, 80}, "0:00"},
             {{400, 160}, "0:00"},
             {{400, 160}, "-100:00:00"},
             {{1200, 400}, "14:30:05"},
             {{120, 40}, "23:59:59"},
             {{3000, 40}, "1"},
         }) {
        widget.resize(c.size);
        widget.setText(QString::fromUtf8(c.text));
        const QRectF area = QRectF(widget.rect()).adjusted(10, 10, -10, -10);
        const QRectF box = widget.textBox();
        EXPECT_TRUE(area.contains(box)) << c.text << " in " << c.size.width() << "x" << c.size.height();
        // The text fills the width or the height: it is as large as it can be.
        EXPECT_TRUE(box.width() > area.width() * 0.9 || box.height() > area.height() * 0.85)
            << c.text << " leaves too much room: " << box.width() << "x" << box.height();
    }
    widget.resize(30, 22);
    widget.setText(QStringLiteral("-100:00:00"));
    EXPECT_EQ(widget.fittedPixelSize(), FittedText::kMinimumPixelSize) << "shrinks no further than 1%";
}

TEST(FittedText, EveryDigitHasTheSameWidthSoRunningClocksDoNotJitter) {
    for (const int size : {12, 37, 150, 1000}) {
        const QFontMetricsF metrics(FittedText::displayFont(size));
        for (const QChar digit : QStringLiteral("123456789")) {
            EXPECT_EQ(metrics.horizontalAdvance(digit), metrics.horizontalAdvance(QLatin1Char('0'))) << size;
        }
    }
}

TEST(FittedText, WorksOutTheSizeOnlyWhenTheShapeOrSizeChanges) {
    FittedText widget;
    widget.resize(500, 150);
    widget.setText(QStringLiteral("29:59"));
    const int fits = widget.fitCount();
    const int size = widget.fittedPixelSize();
    for (const char* text : {"29:58", "10:00", "00:01"}) {
        widget.setText(QString::fromUtf8(text));
        widget.repaint();
    }
    EXPECT_EQ(widget.fitCount(), fits) << "same length, digits only: no refit";
    EXPECT_EQ(widget.fittedPixelSize(), size);
    widget.setText(QStringLiteral("1:00:00"));
    EXPECT_EQ(widget.fitCount(), fits + 1);
    EXPECT_LT(widget.fittedPixelSize(), size) << "a longer text is set smaller";
}

TEST(ClockWindow, CopiesNameOpacityAndLevelOntoTheWindow) {
    Rig rig([](ClockModel& c) {
        c.name = QStringLiteral("Stage [*] left");
        c.opacity = 0.3;
    });
    rig.settle();
    EXPECT_EQ(rig.window->windowHandle()->title(), QStringLiteral("Stage [*] left"));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.3, 0.01);
    EXPECT_FALSE(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    rig.edit([](ClockModel& c) {
        c.alwaysOnTop = true;
        c.opacity = 0.0; // a hand-edited file must not make the window unreachable
    });
    rig.settle();
    EXPECT_TRUE(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_NEAR(rig.window->windowOpacity(), 0.1, 0.01);
    EXPECT_GE(rig.window->minimumWidth(), 360);
    EXPECT_GE(rig.window->minimumHeight(), 150);
}

TEST(ClockWindow, EachModeShowsItsSymbolHelpAndControls) {
    struct Case {
        ClockMode mode;
        const char* help;
        bool controls;
        const char* text;
    };
    Rig rig;
    for (const Case& c : std::initializer_list<Case>{
             {ClockMode::clock, "Time", false, nullptr},
             {ClockMode::countdown, "Countdown", true, "30:00"},
             {ClockMode::stopwatch, "Stopwatch", true, "0:00"},
             {ClockMode::timeUntil, "Time until\u2026", false, "3:29:55"},
             {ClockMode::timecode, "Timecode", false, nullptr},
         }) {
        rig.edit([&](ClockModel& clock) { clock.mode = c.mode; });
        rig.settle();
        EXPECT_EQ(rig.window->modeSymbolLabel()->toolTip(), QString::fromUtf8(c.help));
        EXPECT_FALSE(rig.window->modeSymbolLabel()->pixmap().isNull()) << c.help;
        EXPECT_EQ(rig.window->controlRow()->isVisible(), c.controls) << c.help;
        EXPECT_EQ(rig.window->timecodeView() != nullptr, c.mode == ClockMode::timecode);
        if (c.text) {
            EXPECT_EQ(rig.window->display()->text(), QString::fromUtf8(c.text));
        }
    }
    EXPECT_EQ(rig.window->settingsButton()->toolTip(), QStringLiteral("Clock Settings"));
    EXPECT_FALSE(rig.window->settingsButton()->icon().isNull());
}

TEST(ClockWindow, StartPauseAndResetButtonsDriveTheCountdown) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::countdown; });
    QTest::mouseClick(rig.window->startPauseButton(), Qt::LeftButton);
    EXPECT_TRUE(rig.clock().countdown->isRunning);
    EXPECT_EQ(rig.window->startPauseButton()->text(), QStringLiteral("Pause"));
    rig.time.advance(1.0);
    rig.window->engine()->tick();
    EXPECT_EQ(rig.window->display()->text(), QStringLiteral("29:59"));
    QTest::mouseClick(rig.window->resetButton(), Qt::LeftButton);
    EXPECT_EQ(rig.clock().countdown->remaining, 1800);
    EXPECT_FALSE(rig.clock().countdown->isRunning);
    EXPECT_EQ(rig.window->startPauseButton()->text(), QStringLiteral("Start"));
    EXPECT_EQ(rig.window->display()->text(), QStringLiteral("30:00"));
}

TEST(ClockWindow, WarningColoursAndFlashReachTheScreen) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown->remaining = 0.5;
        c.countdown->isRunning = true;
    });
    const QColor warning = QColor::fromRgbF(1.0f, 0.84f, 0.04f);
    EXPECT_EQ(rig.window->display()->color().rgb(), warning.rgb());
    EXPECT_EQ(rig.window->outlineColor().rgb(), warning.rgb());
    rig.time.advance(1.0);
    rig.window->engine()->tick();
    EXPECT_EQ(rig.window->display()->text(), QStringLiteral("0:00"));
    EXPECT_FALSE(rig.window->display()->isTextVisible()) << "overtime: the first tick hides the text";
    rig.time.advance(1.0);
    rig.window->engine()->tick();
    EXPECT_TRUE(rig.window->display()->isTextVisible());
    EXPECT_EQ(rig.window->display()->text(), QStringLiteral("-0:01"));
}

TEST(ClockWindow, MissingSettingsShowMessagesAndAStopwatchGetsItsRecord) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown.reset();
        c.stopwatch.reset();
        c.timeUntil.reset();
    });
    EXPECT_TRUE(rig.window->message()->isVisible());
    EXPECT_EQ(rig.window->message()->text(), QStringLiteral("No Countdown Data"));
    EXPECT_FALSE(rig.window->controlRow()->isVisible());
    rig.edit([](ClockModel& c) { c.mode = ClockMode::timeUntil; });
    EXPECT_EQ(rig.window->message()->text(), QStringLiteral("No Target Time"));
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_EQ(rig.clock().stopwatch, (StopwatchSettings{0, false}))
        << "shown once, the stopwatch has settings";
    EXPECT_FALSE(rig.window->message()->isVisible());
}

TEST(ClockWindow, ADeletedClockTurnsIntoTheGreyPlaceholderAndStaysOpen) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    rig.state.removeClock(rig.id);
    rig.settle();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Deleted Clock"));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.5, 0.01);
    EXPECT_FALSE(rig.window->controlRow()->isVisible());
    rig.window->engine()->tick();
    EXPECT_TRUE(rig.state.clocks().isEmpty()) << "writes to a deleted clock are dropped";
}

TEST(ClockWindow, TheSettingsButtonOpensAndClosesThePopover) {
    Rig rig;
    QTest::mouseClick(rig.window->settingsButton(), Qt::LeftButton);
    ASSERT_TRUE(rig.window->showingSettings());
    QPointer<Popover> popover = rig.window->popover();
    popover->close();
    EXPECT_FALSE(rig.window->showingSettings()) << "dismissing sets showingSettings back";
    rig.window->toggleSettings();
    rig.window->toggleSettings();
    EXPECT_FALSE(rig.window->showingSettings());
}

TEST(ClockWindow, TicksRunWhileShownAndStopWhenHidden) {
    Rig rig;
    EXPECT_TRUE(rig.window->engine()->isTicking());
    rig.window->hide();
    EXPECT_FALSE(rig.window->engine()->isTicking());
    rig.window->show();
    EXPECT_TRUE(rig.window->engine()->isTicking());
}

TEST(TimecodeClockView, StoresDefaultsOnAppearAndHoldFreezesTheShownTime) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::timecode;
        c.timecode.reset();
    });
    TimecodeClockView* view = rig.window->timecodeView();
    ASSERT_TRUE(view);
    EXPECT_EQ(rig.clock().timecode, TimecodeRuntimeHolder::defaultSettings());
    EXPECT_EQ(view->display()->text(), QStringLiteral("00:00:00:00"));
    TimecodeRuntime* runtime = rig.window->timecodeHolder()->runtime();
    runtime->setLiveTime(10, 0, 0, 12);
    EXPECT_EQ(view->display()->text(), QStringLiteral("10:00:00:12"));
    EXPECT_NEAR(view->holdOpacity(), 0.8, 1e-9);
    QTest::mouseClick(view->holdButton(), Qt::LeftButton);
    EXPECT_NEAR(view->holdOpacity(), 1.0, 1e-9);
    runtime->setLiveTime(10, 0, 1, 3);
    EXPECT_EQ(view->display()->text(), QStringLiteral("10:00:00:12"));
    QTest::mouseClick(view->holdButton(), Qt::LeftButton);
    EXPECT_EQ(view->display()->text(), QStringLiteral("10:00:01:03"));
    // The timecode display has no warning colours: it is always the clock's text colour.
    EXPECT_EQ(view->display()->color().rgb(), QColor::fromRgbF(0.20f, 0.84f, 0.30f).rgb());
    rig.edit([](ClockModel& c) { c.mode = ClockMode::clock; });
    rig.settle();
    EXPECT_EQ(rig.window->timecodeView(), nullptr);
}
