#include "display/clockwindow.h"
#include "display/tickengine.h"
#include "platform/audiohal.h"
#include "display/faketime.h"
#include "model/appstate.h"
#include "model/statefile.h"
#include "shell/clockwindowmanager.h"
#include "shell/platformchoice.h"
#include "shell/screengeometry.h"
#include "shell/signalnotifier.h"
#include "shell/tavixapp.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <memory>

using namespace tavix;

namespace {

QRect primary() {
    return QGuiApplication::primaryScreen()->geometry();
}

struct Shell {
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0))};
    std::unique_ptr<AppState> state;
    std::unique_ptr<ClockWindowManager> manager;

    /// A store holding `count` clocks, the first at `first`.
    explicit Shell(int count = 1) {
        state = std::make_unique<AppState>(file);
        while (state->clocks().size() < count) {
            state->addClock();
        }
        manager = std::make_unique<ClockWindowManager>(*state, nullptr, time);
    }
    ~Shell() {
        manager.reset();
        file->flushPendingWrites();
    }
    QUuid id(int i) const { return state->clocks().at(i).id; }
    ClockModel clock(int i) const { return state->clocks().at(i); }
    void setFrame(int i, PointValue origin, SizeValue size) {
        ClockModel c = clock(i);
        c.windowOrigin = origin;
        c.windowSize = size;
        state->setClock(i, c);
    }
    std::optional<PersistenceContainer> onDisk() {
        file->flushPendingWrites();
        return StateFile(dir.path()).loadSavedState();
    }
};

} // namespace

TEST(ScreenGeometry, StoredFramesHaveTheirOriginAtTheBottomLeftOfThePrimaryScreen) {
    struct Case {
        QRect primary;
        PointValue origin;
        SizeValue size;
        QRect frame;
    };
    const QSize minimum(360, 150);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const Case& c : std::initializer_list<Case>{
             {{0, 0, 1920, 1080}, {100, 100}, {600, 200}, {100, 780, 600, 200}},
             {{0, 0, 1920, 1080}, {0, 0}, {400, 1080}, {0, 0, 400, 1080}},
             {{1280, 0, 1920, 1080}, {-1280, 880}, {600, 200}, {0, 0, 600, 200}}, // left of the primary
             {{0, 200, 1920, 1080}, {10, 20}, {600, 200}, {10, 1060, 600, 200}},
             {{0, 0, 1920, 1080}, {100.4, 99.6}, {600.5, 199.5}, {100, 780, 601, 200}},
             {{0, 0, 1920, 1080}, {nan, nan}, {nan, -5}, {100, 780, 600, 200}},
             {{0, 0, 1920, 1080}, {100, 100}, {10, 10}, {100, 830, 360, 150}},
         }) {
        const QRect frame = frameFromStored(c.origin, c.size, c.primary, minimum);
        EXPECT_EQ(frame, c.frame) << c.origin.x << "," << c.origin.y;
        // Recording the frame gives back what was stored, so windows never creep.
        const StoredFrame back = storedFromFrame(frame, c.primary);
        EXPECT_EQ(frameFromStored(back.origin, back.size, c.primary, minimum), frame);
    }
}

TEST(ScreenGeometry, AFrameOutsideEveryScreenMovesToThePrimaryScreen) {
    const QList<QRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QRect available(0, 0, 1920, 1040);
    struct Case {
        QRect frame;
        QRect expected;
    };
    for (const Case& c : std::initializer_list<Case>{
             {{100, 100, 600, 200}, {100, 100, 600, 200}},
             {{3000, 900, 600, 200}, {3000, 900, 600, 200}}, // partly on the second screen
             {{5000, 100, 600, 200}, {660, 420, 600, 200}},  // that monitor was unplugged
             {{-700, -300, 600, 200}, {660, 420, 600, 200}}, // above and left of everything
             {{-9000, 100, 4000, 3000}, {0, 0, 1920, 1040}}, // too large: shrunk to fit
         }) {
        EXPECT_EQ(frameOnSomeScreen(c.frame, screens, available), c.expected) << c.frame.x();
    }
}

TEST(ScreenGeometry, ContentIsTheFrameLessTheDecoration) {
    EXPECT_EQ(contentSizeForFrame({600, 237}, QMargins(1, 36, 1, 1), {360, 150}), QSize(598, 200));
    EXPECT_EQ(contentSizeForFrame({300, 100}, QMargins(1, 36, 1, 1), {360, 150}), QSize(360, 150));
}

TEST(PlatformChoice, X11IsPreferredOnlyWhenBothAreThereAndNothingWasChosen) {
    struct Case {
        const char* env;
        const char* wayland;
        const char* x11;
        QStringList arguments;
        std::optional<QByteArray> choice;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"", "wayland-0", ":0", {}, QByteArray("xcb")},
             {"", "wayland-0", "", {}, std::nullopt},
             {"", "", ":0", {}, std::nullopt},
             {"wayland", "wayland-0", ":0", {}, std::nullopt},
             {"",
              "wayland-0",
              ":0",
              {QStringLiteral("tavix"), QStringLiteral("-platform"), QStringLiteral("wayland")},
              std::nullopt},
         }) {
        EXPECT_EQ(chooseQtPlatform(c.env, c.wayland, c.x11, c.arguments), c.choice)
            << c.env << c.wayland << c.x11;
    }
}

TEST(ClockWindowManager, OpensOneWindowPerClockAtItsFrameAndOnlyRaisesAnOpenOne) {
    Shell shell(2);
    shell.setFrame(1, {40, 60}, {500, 180});
    shell.manager->openClockWindow(shell.id(0));
    shell.manager->openClockWindow(shell.id(1));
    ClockWindow* second = shell.manager->window(shell.id(1));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->frameGeometry(), frameFromStored({40, 60}, {500, 180}, primary(), {360, 150}));
    EXPECT_EQ(second->windowTitle(), QStringLiteral("Clock 2"));
    const ClockModel before = shell.clock(1);
    shell.manager->openClockWindow(shell.id(1));
    EXPECT_EQ(shell.manager->windows().size(), 2);
    EXPECT_EQ(shell.manager->window(shell.id(1)), second);
    EXPECT_EQ(shell.clock(1), before);
}

TEST(ClockWindowManager, AHiddenOrMinimisedWindowIsBroughtBackNotDuplicated) {
    Shell shell;
    shell.manager->openClockWindow(shell.id(0));
    ClockWindow* window = shell.manager->window(shell.id(0));
    window->showMinimized();
    shell.manager->openClockWindow(shell.id(0));
    EXPECT_EQ(shell.manager->windows().size(), 1);
    EXPECT_FALSE(window->isMinimized());
    window->hide();
    shell.manager->openClockWindow(shell.id(0));
    EXPECT_EQ(shell.manager->window(shell.id(0)), window);
    EXPECT_TRUE(window->isVisible());
}

TEST(ClockWindowManager, AMissingClockGetsAWarningAndNoWindow) {
    Shell shell;
    const QUuid missing = QUuid::fromString(QStringLiteral("{0f0e0d0c-0b0a-4908-8706-050403020100}"));
    const QStringList lines = test::capturedStdoutLines([&] { shell.manager->openClockWindow(missing); });
    EXPECT_EQ(lines, QStringList{QStringLiteral(
                         "\u26A0\uFE0F ClockWindowManager: tried to open window for missing clock "
                         "0F0E0D0C-0B0A-4908-8706-050403020100")});
    EXPECT_TRUE(shell.manager->windows().isEmpty());
}

TEST(ClockWindowManager, MovingResizingAndClosingRecordTheFrameAndKeepTheClock) {
    Shell shell;
    shell.manager->openClockWindow(shell.id(0));
    ClockWindow* window = shell.manager->window(shell.id(0));
    window->move(220, 140);
    QCoreApplication::processEvents();
    EXPECT_EQ(shell.clock(0).windowOrigin, storedFromFrame(window->frameGeometry(), primary()).origin);
    window->resize(700, 260);
    QCoreApplication::processEvents();
    const StoredFrame resized = storedFromFrame(window->frameGeometry(), primary());
    EXPECT_EQ(shell.clock(0).windowSize, resized.size) << "the outer frame, decoration included";
    EXPECT_GT(resized.size.width, 700 - 1);
    window->close();
    QCoreApplication::processEvents();
    QTest::qWait(0);
    EXPECT_TRUE(shell.manager->windows().isEmpty());
    ASSERT_EQ(shell.state->clocks().size(), 1) << "closing a window keeps its clock";
    // The debounced save has not run yet; the next save writes the recorded frame.
    shell.state->save();
    const auto saved = shell.onDisk();
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->clocks.at(0).windowSize, resized.size);
    EXPECT_EQ(saved->clocks.at(0).windowOrigin, resized.origin);
}

TEST(ClockWindowManager, OpeningAndClosingTenTimesKeepsSizeAndPlace) {
    Shell shell;
    shell.setFrame(0, {321, 123}, {640, 230});
    for (int i = 0; i < 10; ++i) {
        shell.manager->openClockWindow(shell.id(0));
        QCoreApplication::processEvents();
        shell.manager->window(shell.id(0))->close();
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(shell.clock(0).windowOrigin, (PointValue{321, 123}));
    EXPECT_EQ(shell.clock(0).windowSize, (SizeValue{640, 230}));
}

TEST(ClockWindowManager, AnAlwaysOnTopClockOpensAsAFloatingTranslucentWindow) {
    Shell shell;
    ClockModel clock = shell.clock(0);
    clock.alwaysOnTop = true;
    clock.opacity = 0.3;
    shell.state->setClock(0, clock);
    shell.manager->openClockWindow(shell.id(0));
    ClockWindow* window = shell.manager->window(shell.id(0));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_NEAR(window->windowOpacity(), 0.3, 0.01);
}

TEST(TavixApp, StartsWithOneWindowPerClockAndNewWindowAddsASavedClock) {
    QTemporaryDir dir;
    auto file = std::make_shared<StateFile>(dir.path());
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0))};
    TavixApp app(file, nullptr, time);
    app.start();
    EXPECT_EQ(app.windowManager().windows().size(), 1);
    app.newWindowAction()->trigger();
    ASSERT_EQ(app.appState().clocks().size(), 2);
    const QUuid added = app.appState().clocks().at(1).id;
    ClockWindow* window = app.windowManager().window(added);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Clock 2"));
    EXPECT_TRUE(window->actions().contains(app.newWindowAction())) << "the shortcut works in the new window";
    file->flushPendingWrites();
    const auto disk = StateFile(dir.path()).loadSavedState();
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->clocks.size(), 2) << "saved at once";
    app.settingsAction()->trigger();
    ASSERT_TRUE(app.settingsWindow());
    EXPECT_TRUE(app.settingsWindow()->isVisible());
}

TEST(TavixApp, TerminationSavesARunningCountdownAsItIsAndRunsOnce) {
    QTemporaryDir dir;
    auto file = std::make_shared<StateFile>(dir.path());
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(12, 0, 0))};
    TavixApp app(file, nullptr, time);
    app.start();
    ClockModel clock = app.appState().clocks().at(0);
    clock.mode = ClockMode::countdown;
    app.appState().setClock(0, clock);
    ClockWindow* window = app.windowManager().window(clock.id);
    window->engine()->startPause();
    time.advance(2.5);
    window->engine()->tick();
    QSignalSpy saves(&app.appState(), &AppState::saved);
    app.terminate();
    app.terminate();
    EXPECT_EQ(saves.size(), 1);
    EXPECT_TRUE(app.appState().isQuittingApp());
    // flushPendingWrites has returned: the file already holds the state.
    const auto disk = StateFile(dir.path()).loadSavedState();
    ASSERT_TRUE(disk);
    EXPECT_NEAR(disk->clocks.at(0).countdown->remaining, 1797.5, 1e-9);
    EXPECT_TRUE(disk->clocks.at(0).countdown->isRunning);
    EXPECT_TRUE(window->isVisible()) << "termination closes no window";
}

TEST(SignalNotifier, DeliversTheSignalOnTheEventLoop) {
    SignalNotifier notifier({SIGHUP, SIGUSR1});
    ASSERT_TRUE(notifier.isActive());
    QSignalSpy received(&notifier, &SignalNotifier::received);
    ::raise(SIGUSR1);
    ::raise(SIGHUP);
    EXPECT_TRUE(received.isEmpty()) << "nothing happens inside the handler";
    ASSERT_TRUE(test::waitUntil([&] { return received.size() == 2; }));
    EXPECT_EQ(received.at(0).at(0).toInt(), SIGUSR1);
    EXPECT_EQ(received.at(1).at(0).toInt(), SIGHUP);
}
