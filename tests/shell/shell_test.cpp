#include "display/clockwindow.h"
#include "display/displaytest.h"
#include "display/tickengine.h"
#include "display/timerundo.h"
#include "editors/preferencesview.h"
#include "editors/editortestsupport.h"
#include "editors/timefieldeditor.h"
#include "platform/audiobackend.h"
#include "shell/clockwindowmanager.h"
#include "shell/commandline.h"
#include "shell/platformchoice.h"
#include "remote/clockcommand.h"
#include "shell/screengeometry.h"
#include "shell/shellclockbackend.h"
#include "shell/tavixapp.h"
#include "shell/translations.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QFile>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace tavix;
using namespace Qt::StringLiterals;

void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

// A window manager on a store of `count` clocks.
struct Shell : test::TimedStore {
    ClockWindowManager manager{timers, ticks, nullptr};

    explicit Shell(int count = 1) {
        while (state.clocks().size() < count) {
            state.addClock();
        }
    }
    ClockWindow* open(int i = 0) {
        manager.openClockWindow(id(i));
        return manager.window(id(i));
    }
};

// The application object, started on an empty state folder.
struct AppFolder {
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    test::FakeTimeSource time{QDateTime(QDate(2024, 6, 12), QTime(12, 0))};
};
struct App : AppFolder, TavixApp {
    App() : TavixApp(file, nullptr, time) { start(); }
};

} // namespace

TEST(ScreenGeometry, StoredFramesHaveTheirOriginAtTheBottomLeftOfThePrimaryScreen) {
    // The Qt frame of a stored origin and size; recording it gives back the same, so windows never creep.
    const auto frame = [](const QRect& primary, PointValue origin, SizeValue size) {
        const QRect frame = frameFromStored(origin, size, primary, {360, 150});
        const StoredFrame back = storedFromFrame(frame, primary);
        EXPECT_EQ(frameFromStored(back.origin, back.size, primary, {360, 150}), frame);
        return frame;
    };
    const QRect screen(0, 0, 1920, 1080);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(frame(screen, {100, 100}, {600, 200}), QRect(100, 780, 600, 200));
    EXPECT_EQ(frame({1280, 0, 1920, 1080}, {-1280, 880}, {600, 200}), QRect(0, 0, 600, 200)) << "left of it";
    EXPECT_EQ(frame({0, 200, 1920, 1080}, {10, 20}, {600, 200}), QRect(10, 1060, 600, 200));
    EXPECT_EQ(frame(screen, {100.4, 99.6}, {600.5, 199.5}), QRect(100, 780, 601, 200));
    EXPECT_EQ(frame(screen, {nan, nan}, {nan, -5}), QRect(100, 780, 600, 200));
    EXPECT_EQ(frame(screen, {100, 100}, {10, 10}), QRect(100, 830, 360, 150)) << "at least the minimum size";
    // The stored frame is the outer one: the content is smaller by the decoration.
    EXPECT_EQ(contentSizeForFrame({600, 237}, QMargins(1, 36, 1, 1), {360, 150}), QSize(598, 200));
    EXPECT_EQ(contentSizeForFrame({300, 100}, QMargins(1, 36, 1, 1), {360, 150}), QSize(360, 150));
}

TEST(ScreenGeometry, AFrameOutsideEveryScreenMovesToThePrimaryScreen) {
    const QList<QRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QRect available(0, 0, 1920, 1040);
    for (const auto& [frame, expected] : std::initializer_list<std::pair<QRect, QRect>>{
             {{3000, 900, 600, 200}, {3000, 900, 600, 200}}, // partly on the second screen
             {{5000, 100, 600, 200}, {660, 420, 600, 200}},  // that monitor was unplugged
             {{-700, -300, 600, 200}, {660, 420, 600, 200}}, // above and left of everything
             {{-9000, 100, 4000, 3000}, {0, 0, 1920, 1040}}, // too large: shrunk to fit
         }) {
        EXPECT_EQ(frameOnSomeScreen(frame, screens, available), expected) << frame.x();
    }
}

TEST(ScreenGeometry, ANewWindowCascadesOffTheOpenOnesAndStaysOnTheScreen) {
    const QRect available(0, 0, 1920, 1040);
    const QRect frame(100, 100, 600, 200);
    for (const auto& [start, taken, expected] :
         std::initializer_list<std::tuple<QRect, QList<QPoint>, QPoint>>{
             {frame, {}, {100, 100}},
             {frame, {{400, 700}}, {100, 100}},
             {frame, {{100, 100}}, {130, 130}},
             {frame, {{110, 95}, {130, 130}}, {160, 160}},    // nearly on it counts
             {{1300, 820, 600, 200}, {{1300, 820}}, {30, 0}}, // off the bottom: back to the top
             {{1300, 820, 600, 200}, {{1300, 820}, {30, 0}}, {60, 30}},
             {available, {{0, 0}}, {0, 0}}, // too large to move anywhere
         }) {
        EXPECT_EQ(cascadedFrame(start, taken, 30, available), QRect(expected, start.size())) << expected.x();
    }
}

TEST(PlatformChoice, X11IsPreferredOnlyWhenBothAreThereAndNothingWasChosen) {
    const QByteArray wayland("wayland-0"), x11(":0");
    EXPECT_EQ(chooseQtPlatform({}, wayland, x11, {}), QByteArray("xcb"));
    EXPECT_EQ(chooseQtPlatform({}, wayland, {}, {}), std::nullopt);
    EXPECT_EQ(chooseQtPlatform({}, {}, x11, {}), std::nullopt);
    EXPECT_EQ(chooseQtPlatform("wayland", wayland, x11, {}), std::nullopt);
    EXPECT_EQ(chooseQtPlatform({}, wayland, x11, {u"tavix"_s, u"-platform"_s, u"wayland"_s}), std::nullopt);
}

TEST(CommandLine, OnlyHelpAndVersionAreAnsweredBeforeTheDisplayOpens) {
    // Qt's own single-dash options hold the letters of -v and -h; they are not ours to answer.
    const std::pair<const char*, bool> cases[] = {{"", false},          {"-v", true},
                                                  {"--help-all", true}, {"-platform xcb --version", true},
                                                  {"-reverse", false},  {"-stylesheet look.qss", false}};
    for (const auto& [line, information] : cases) {
        QStringList arguments{u"tavix"_s};
        arguments += QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts);
        EXPECT_EQ(asksForInformation(arguments), information) << line;
    }
}

TEST(ClockWindowManager, AHiddenOrMinimisedWindowIsBroughtBackNotDuplicated) {
    Shell shell;
    ClockWindow* window = shell.open();
    window->showMinimized();
    EXPECT_TRUE(window->engine()->isTicking()) << "a minimised clock runs on";
    EXPECT_EQ(shell.open(), window);
    EXPECT_FALSE(window->isMinimized());
    window->hide();
    EXPECT_FALSE(window->engine()->isTicking());
    EXPECT_EQ(shell.open(), window);
    EXPECT_EQ(std::tuple(window->isVisible(), window->engine()->isTicking()), std::tuple(true, true));
    // A missing clock gets a warning and no window.
    const QStringList lines =
        test::capturedStdoutLines([&] { shell.manager.openClockWindow(QUuid::createUuid()); });
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(
        lines[0].startsWith(u"\u26A0\uFE0F ClockWindowManager: tried to open window for missing clock"_s));
    EXPECT_EQ(shell.manager.windows().size(), 1);
}

TEST(TavixApp, TerminationMarksQuittingThenSavesAndFlushesOnceAndClosesNoWindow) {
    App app;
    AppState& state = app.appState();
    ClockModel clock = state.clocks().at(0);
    clock.name = u"Renamed"_s;
    state.setClock(0, clock);
    QSignalSpy saves(&state, &AppState::saved);
    app.terminate();
    app.terminate();
    EXPECT_EQ(std::tuple(saves.size(), state.isQuittingApp()), std::tuple(1, true));
    // terminate() has flushed: the file already holds the change.
    EXPECT_EQ(StateFile(app.dir.path()).loadSavedState().value().clocks.at(0).name, u"Renamed"_s);
    EXPECT_TRUE(app.windowManager().window(clock.id)->isVisible());
}

TEST(TavixApp, QuitKeepsWhatIsTypedInAnOpenPanelAndLeavesTheWindowsToTheProcessEnd) {
    App app;
    ClockModel clock = app.appState().clocks().at(0);
    clock.mode = ClockMode::countdown;
    clock.countdown->duration = 1800;
    app.appState().setClock(0, clock);
    ClockWindow* window = app.windowManager().window(clock.id);
    window->toggleSettings();
    ASSERT_TRUE(window->popover());
    auto* hours = window->popover()->findChild<TimeFieldEditor*>();
    ASSERT_TRUE(hours);
    test::retype(hours->textBox(), u"2"_s); // typed, no Return yet
    app.quit();
    app.terminate();
    const auto disk = StateFile(app.dir.path()).loadSavedState();
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->clocks.at(0).countdown->duration, 2 * 3600 + 1800);
    EXPECT_TRUE(window->isVisible()) << "closing a thousand windows one by one made Quit slow";
}

TEST(TavixApp, ActivationBringsTheWindowsBackOrOpensSettings) {
    App app;
    ClockWindow* window = app.windowManager().window(app.appState().clocks().at(0).id);
    window->showMinimized();
    app.activate();
    EXPECT_EQ(std::tuple(window->isVisible(), window->isMinimized()), std::tuple(true, false));
    EXPECT_FALSE(app.settingsWindow()) << "clock windows are there to show";

    AppFolder folder;
    TavixApp empty(folder.file, nullptr, folder.time); // no clock window opened
    empty.activate();
    ASSERT_TRUE(empty.settingsWindow() && empty.settingsWindow()->isVisible());
}

TEST(TavixApp, QuitAsksBeforeDiscardingChangesThatCouldNotBeSaved) {
    App app;
    app.appState().stateFile().flushPendingWrites();
    const QString path = app.appState().stateFile().stateFileURL();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner)); // the owner made it read-only
    QStringList answers = {u"Cancel"_s, u"Try Again"_s, u"Quit Without Saving"_s};
    QStringList informed;
    QObject::connect(&app, &TavixApp::askingToDiscardChanges, &app, [&](QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        informed << box->informativeText();
        const QString answer = answers.takeFirst();
        QTimer::singleShot(0, box, [box, answer] {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer) {
                    button->click();
                }
            }
        });
    });
    EXPECT_FALSE(app.quitInteractively()) << "Cancel keeps Tavix running";
    ASSERT_EQ(informed.size(), 1);
    EXPECT_TRUE(informed[0].contains(u"read-only"_s)) << informed[0].toStdString();
    EXPECT_TRUE(app.quitInteractively()) << "Try Again fails again, then Quit Without Saving";
    EXPECT_TRUE(answers.isEmpty());

    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_TRUE(app.quitInteractively()) << "nothing to ask once saving works";
    EXPECT_EQ(informed.size(), 3);
}

TEST(TavixApp, NewWindowsOfferTheActionsAndCascadeWhileSavedFramesStayWhereTheyWere) {
    App app;
    app.newWindowAction()->trigger();
    app.newWindowAction()->trigger();
    const auto window = [&](int i) { return app.windowManager().window(app.appState().clocks().at(i).id); };
    EXPECT_TRUE(window(1)->actions().contains(app.newWindowAction())) << "Ctrl+N works in the new window";
    // A German session getting German windows is the German start script's part; others keep English.
    EXPECT_FALSE(Translations(QLocale::c()).translatesTavix());
    app.settingsAction()->trigger();
    ASSERT_TRUE(app.settingsWindow() && app.settingsWindow()->isVisible());
    const auto corner = [&](int i) { return window(i)->frameGeometry().topLeft(); };
    const QPoint step = corner(1) - corner(0);
    EXPECT_GE(step.x(), 16) << "a title bar's height, not a border's";
    EXPECT_EQ(step.x(), step.y());
    EXPECT_EQ(corner(2) - corner(1), step);
    // Two clocks stored at one place open there: only new windows cascade.
    Shell shell(2);
    EXPECT_EQ(shell.open(0)->frameGeometry(), shell.open(1)->frameGeometry());
}

TEST(TavixApp, ARemovedClockComesBackWithItsWindowAndItsRunningTimerUntilSettingsClose) {
    App app;
    app.newWindowAction()->trigger();
    AppState& state = app.appState();
    ClockModel clock = state.clocks().at(0);
    const QUuid id = clock.id;
    clock.mode = ClockMode::countdown;
    clock.name = u"Stage"_s;
    state.setClock(0, clock);
    app.runningTimers().start(id);
    ClockWindow* window = app.windowManager().window(id);
    window->move(300, 200);
    QCoreApplication::processEvents();
    const QRect frame = window->frameGeometry();

    app.showSettings();
    auto* view = app.settingsWindow()->findChild<PreferencesView*>();
    ASSERT_TRUE(view);
    view->clockRows().at(0).remove->click();
    QCoreApplication::processEvents();
    ASSERT_EQ(state.clocks().size(), 1) << "removed at once, nothing asked";
    EXPECT_FALSE(app.windowManager().window(id)) << "its window closed";
    EXPECT_TRUE(view->undoRemoveBar()->isVisible());
    EXPECT_EQ(view->undoRemoveText()->text(), u"\u201CStage\u201D removed."_s);

    app.time.advance(5);
    view->undoRemoveButton()->click();
    ASSERT_EQ(state.clocks().size(), 2);
    EXPECT_EQ(std::pair(state.clocks().at(0).id, state.clocks().at(0).name), std::pair(id, u"Stage"_s))
        << "back at its place in the list";
    EXPECT_DOUBLE_EQ(*app.runningTimers().currentRemaining(id), 1800 - 5) << "it ran on meanwhile";
    ClockWindow* back = app.windowManager().window(id);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frameGeometry(), frame);
    EXPECT_FALSE(view->undoRemoveBar()->isVisible());

    // Closing the settings window ends the offer.
    view->clockRows().at(0).remove->click();
    QCoreApplication::processEvents();
    app.settingsWindow()->close();
    EXPECT_FALSE(app.windowManager().restoreClock(id));
    EXPECT_EQ(state.clocks().size(), 1);
}

// A stage entered and left by the remote control, and the frame stored meanwhile, are the stage
// test's part, on two monitors under a window manager.
TEST(ClockWindowManager, AStageOnAMissingScreenIsRefusedAndChangesNothing) {
    Shell shell;
    ShellClockBackend backend(shell.timers, shell.manager);
    shell.open();
    ClockCommand command;
    command.action = ClockAction::stage;
    command.stageOn = true;
    command.screen = u"no such screen"_s;
    EXPECT_EQ(backend.apply(shell.id(), command).status, CommandStatus::conflict);
    QCoreApplication::processEvents();
    EXPECT_FALSE(shell.clock().stage);
    EXPECT_FALSE(shell.manager.window(shell.id())->isInStageMode());
}

TEST(ShellClockBackend, RemoteResetsAndNudgesGoOnTheWindowsUndoListAndReachClosedClocks) {
    Shell shell(2);
    for (int i = 0; i < 2; ++i) {
        shell.edit(i, [](ClockModel& c) { c.mode = ClockMode::countdown; });
    }
    ShellClockBackend backend(shell.timers, shell.manager);
    const auto apply = [&](int i, ClockAction action, double seconds = 0) {
        ClockCommand command;
        command.action = action;
        command.seconds = seconds;
        return backend.apply(shell.id(i), command).status;
    };
    ClockWindow* window = shell.open(0);
    const double start = *shell.timers.currentRemaining(shell.id(0));
    EXPECT_EQ(apply(0, ClockAction::nudge, 60), CommandStatus::ok);
    EXPECT_DOUBLE_EQ(*shell.timers.currentRemaining(shell.id(0)), start + 60);
    window->timerUndo()->undo();
    EXPECT_DOUBLE_EQ(*shell.timers.currentRemaining(shell.id(0)), start)
        << "Ctrl+Z takes back a remote nudge";

    // An open clock is read as its window shows it, second by second.
    EXPECT_EQ(apply(0, ClockAction::start), CommandStatus::ok);
    for (int second = 0; second < 3; ++second) {
        shell.time.advance(1);
        shell.ticks.runDue();
    }
    EXPECT_NEAR(backend.clocks().at(0).remaining.value_or(0), start - 3, 0.5);
    EXPECT_EQ(apply(0, ClockAction::pause), CommandStatus::ok);

    // A closed clock's timer runs on and is read at its current value.
    EXPECT_EQ(apply(1, ClockAction::start), CommandStatus::ok);
    shell.time.advance(7);
    const QList<ClockSnapshot> clocks = backend.clocks();
    const auto closed = std::find_if(clocks.begin(), clocks.end(),
                                     [&](const ClockSnapshot& s) { return s.id == shell.id(1); });
    ASSERT_NE(closed, clocks.end());
    EXPECT_DOUBLE_EQ(closed->remaining.value_or(0), start - 7);
}
