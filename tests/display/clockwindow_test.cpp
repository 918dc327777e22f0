#include "display/clockwindow.h"
#include "display/fittedtext.h"
#include "display/tickengine.h"
#include "display/timecodeclockview.h"
#include "display/wallclock.h"
#include "displaytest.h"
#include "timecode/timecoderuntime.h"
#include "timecode/timecoderuntimeholder.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <algorithm>

using namespace tavix;

namespace {

// A shown 600x200 window on the store's one clock, at 14:30:05.
struct Rig : test::Store {
    std::unique_ptr<ClockWindow> window;

    explicit Rig(const std::function<void(ClockModel&)>& setUp = [](ClockModel&) {})
        : Store(QTime(14, 30, 5)) {
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
    widget.setText(QStringLiteral("-100:00:00"));
    EXPECT_EQ(widget.fittedPixelSize(), FittedText::kMinimumPixelSize) << "shrinks no further than 1%";
    // The size is worked out when the shape of the text changes, not at every tick or paint.
    const int fits = widget.fitCount();
    widget.setText(QStringLiteral("-123:45:59"));
    widget.repaint();
    EXPECT_EQ(widget.fitCount(), fits) << "same length, digits only: no refit";
    widget.setText(QStringLiteral("0:00"));
    EXPECT_EQ(widget.fitCount(), fits + 1);
}

TEST(FittedText, DisplaysOfOneSizeAndColourShareTheirGlyphsUntilTheLastGoes) {
    const int before = FittedText::glyphSetCount();
    {
        std::vector<std::unique_ptr<FittedText>> displays;
        for (int i = 0; i < 5; ++i) {
            displays.push_back(std::make_unique<FittedText>());
            displays.back()->resize(300, 100);
            displays.back()->setText(QStringLiteral("12:34"));
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
        for (const QChar digit : QStringLiteral("123456789")) {
            EXPECT_EQ(metrics.horizontalAdvance(digit), metrics.horizontalAdvance(QLatin1Char('0'))) << size;
        }
    }
}

TEST(FittedText, ARightToLeftTimeIsLaidOutAsOneStringWithItsMarkerBeforeTheDigits) {
    const auto arabic = [](QTime time) {
        return wallClockText(QDateTime(QDate(2024, 6, 12), time), std::nullopt, QStringLiteral("ar_EG"));
    };
    ASSERT_TRUE(std::any_of(arabic(QTime(2, 30, 5)).begin(), arabic(QTime(2, 30, 5)).end(), [](QChar c) {
        return c.isLetter();
    })) << "the time has its AM/PM marker";
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
    Rig rig([](ClockModel& c) {
        c.name = QStringLiteral("Stage [*] left");
        c.opacity = 0.3;
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(rig.window->windowHandle()->title(), QStringLiteral("Stage [*] left"));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.3, 0.01);
    EXPECT_FALSE(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    rig.edit([](ClockModel& c) {
        c.alwaysOnTop = true;
        c.opacity = 0.0; // a hand-edited file must not make the window unreachable
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_NEAR(rig.window->windowOpacity(), 0.1, 0.01);
    EXPECT_EQ(rig.window->minimumSize(), QSize(360, 150));
}

TEST(ClockWindow, EachModeShowsItsSymbolControlsAndTextAndTheSettingsButtonOpensThePopover) {
    Rig rig;
    const auto show = [&](ClockMode mode, const char* help, bool controls) {
        rig.edit([&](ClockModel& clock) { clock.mode = mode; });
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.window->modeSymbolLabel()->toolTip(), QString::fromUtf8(help));
        EXPECT_FALSE(rig.window->modeSymbolLabel()->pixmap().isNull()) << help;
        EXPECT_EQ(rig.window->controlRow()->isVisible(), controls) << help;
        EXPECT_EQ(rig.window->timecodeView() != nullptr, mode == ClockMode::timecode) << help;
        return rig.text().toStdString();
    };
    show(ClockMode::clock, "Time", false);
    EXPECT_EQ(show(ClockMode::countdown, "Countdown", true), "30:00");
    EXPECT_EQ(show(ClockMode::stopwatch, "Stopwatch", true), "0:00");
    EXPECT_EQ(show(ClockMode::timeUntil, "Time until\u2026", false), "3:29:55");
    show(ClockMode::timecode, "Timecode", false);
    EXPECT_EQ(rig.window->settingsButton()->toolTip(), QStringLiteral("Clock Settings"));
    EXPECT_FALSE(rig.window->settingsButton()->icon().isNull());
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
    EXPECT_EQ(rig.window->display()->color().rgb(), warning);
    EXPECT_EQ(rig.window->outlineColor().rgb(), warning);
    QTest::mouseClick(rig.window->startPauseButton(), Qt::LeftButton);
    EXPECT_EQ(rig.window->startPauseButton()->text(), QStringLiteral("Pause"));
    rig.tick(1.0);
    rig.tick(1.0);
    EXPECT_FALSE(rig.window->display()->isTextVisible()) << "overtime: the first tick hides the text";
    rig.tick(1.0);
    EXPECT_TRUE(rig.window->display()->isTextVisible());
    EXPECT_EQ(rig.text(), QStringLiteral("-0:01"));
    QTest::mouseClick(rig.window->resetButton(), Qt::LeftButton);
    EXPECT_EQ(rig.window->startPauseButton()->text(), QStringLiteral("Start"));
    EXPECT_EQ(rig.text(), QStringLiteral("30:00"));
    EXPECT_NE(rig.window->display()->color().rgb(), warning);
}

TEST(ClockWindow, MissingSettingsShowMessagesAndAStopwatchGetsItsRecord) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::countdown;
        c.countdown.reset();
        c.stopwatch.reset();
        c.timeUntil.reset();
    });
    EXPECT_EQ(rig.window->message()->text(), QStringLiteral("No Countdown Data"));
    EXPECT_TRUE(rig.window->message()->isVisible());
    EXPECT_FALSE(rig.window->controlRow()->isVisible());
    rig.tick(1.0);
    rig.edit([](ClockModel& c) { c.mode = ClockMode::timeUntil; });
    EXPECT_EQ(rig.window->message()->text(), QStringLiteral("No Target Time"));
    rig.edit([](ClockModel& c) { c.mode = ClockMode::stopwatch; });
    EXPECT_EQ(rig.clock().stopwatch, (StopwatchSettings{0, false})) << "shown once, it has settings";
    EXPECT_FALSE(rig.window->message()->isVisible());
}

TEST(ClockWindow, ADeletedClockTurnsIntoTheGreyPlaceholderAndStaysOpen) {
    Rig rig([](ClockModel& c) { c.mode = ClockMode::countdown; });
    rig.window->engine()->startPause();
    rig.state.removeClock(rig.id());
    QCoreApplication::processEvents();
    EXPECT_TRUE(rig.window->isVisible());
    EXPECT_EQ(rig.window->windowTitle(), QStringLiteral("Deleted Clock"));
    EXPECT_NEAR(rig.window->windowOpacity(), 0.5, 0.01);
    EXPECT_FALSE(rig.window->controlRow()->isVisible());
    rig.tick(1.0);
    rig.window->engine()->reset();
    EXPECT_TRUE(rig.state.clocks().isEmpty()) << "writes to a deleted clock are dropped";
}

TEST(TimecodeClockView, StoresDefaultsOnAppearShowsTheRuntimeAndHoldsIt) {
    Rig rig([](ClockModel& c) {
        c.mode = ClockMode::timecode;
        c.timecode.reset();
    });
    TimecodeClockView* view = rig.window->timecodeView();
    ASSERT_TRUE(view);
    EXPECT_EQ(rig.clock().timecode, TimecodeRuntimeHolder::defaultSettings());
    rig.window->timecodeHolder()->runtime()->setLiveTime(10, 0, 0, 12);
    EXPECT_EQ(view->display()->text(), QStringLiteral("10:00:00:12"));
    // No warning colours in timecode mode: always the clock's text colour.
    EXPECT_EQ(view->display()->color().rgb(), QColor::fromRgbF(0.20f, 0.84f, 0.30f).rgb());
    QTest::mouseClick(view->holdButton(), Qt::LeftButton);
    EXPECT_TRUE(rig.window->timecodeHolder()->runtime()->holdEnabled());
}
