#include "display/clockwindow.h"
#include "display/displaytest.h"
#include "display/fittedtext.h"
#include "display/tickengine.h"
#include "platform/audiobackend.h"
#include "shell/clockwindowmanager.h"
#include "shell/platformchoice.h"
#include "shell/screengeometry.h"
#include "shell/signalnotifier.h"
#include "shell/tavixapp.h"
#include "shell/translations.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QPushButton>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>

using namespace tavix;

void PrintTo(const QRect& r, std::ostream* out) {
    *out << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
}

namespace {

QRect primary() {
    return QGuiApplication::primaryScreen()->geometry();
}

// A window manager on a store of `count` clocks.
struct Shell : test::Store {
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

TEST(PlatformChoice, X11IsPreferredOnlyWhenBothAreThereAndNothingWasChosen) {
    const QByteArray wayland("wayland-0"), x11(":0");
    EXPECT_EQ(chooseQtPlatform({}, wayland, x11, {}), QByteArray("xcb"));
    EXPECT_EQ(chooseQtPlatform({}, wayland, {}, {}), std::nullopt);
    EXPECT_EQ(chooseQtPlatform({}, {}, x11, {}), std::nullopt);
    EXPECT_EQ(chooseQtPlatform("wayland", wayland, x11, {}), std::nullopt);
    const QStringList arguments{QStringLiteral("tavix"), QStringLiteral("-platform"),
                                QStringLiteral("wayland")};
    EXPECT_EQ(chooseQtPlatform({}, wayland, x11, arguments), std::nullopt);
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
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->engine()->isTicking());
    EXPECT_EQ(shell.manager.windows().size(), 1);
}

TEST(ClockWindowManager, AMissingClockGetsAWarningAndNoWindow) {
    Shell shell;
    const QUuid missing = QUuid::fromString(QStringLiteral("{0f0e0d0c-0b0a-4908-8706-050403020100}"));
    const QStringList lines = test::capturedStdoutLines([&] { shell.manager.openClockWindow(missing); });
    EXPECT_EQ(lines, QStringList{QStringLiteral(
                         "\u26A0\uFE0F ClockWindowManager: tried to open window for missing clock "
                         "0F0E0D0C-0B0A-4908-8706-050403020100")});
    EXPECT_TRUE(shell.manager.windows().isEmpty());
}

TEST(ClockWindowManager, FramesAreRecordedAndKeptThroughTenReopenings) {
    Shell shell;
    ClockWindow* window = shell.open();
    window->move(220, 140);
    QCoreApplication::processEvents();
    EXPECT_EQ(shell.clock().windowOrigin, storedFromFrame(window->frameGeometry(), primary()).origin);
    window->resize(700, 260);
    QCoreApplication::processEvents();
    const StoredFrame recorded = storedFromFrame(window->frameGeometry(), primary());
    EXPECT_EQ(shell.clock().windowSize, recorded.size);
    for (int i = 0; i < 10; ++i) {
        shell.open()->close();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(shell.manager.windows().isEmpty());
    ASSERT_EQ(shell.state.clocks().size(), 1) << "closing a window keeps its clock";
    EXPECT_EQ(shell.clock().windowOrigin, recorded.origin);
    EXPECT_EQ(shell.clock().windowSize, recorded.size);
}

TEST(ClockWindowManager, ARunningCountdownCountsOnWhileItsWindowIsClosed) {
    Shell shell;
    shell.edit([](ClockModel& c) { c.mode = ClockMode::countdown; });
    ClockWindow* window = shell.open();
    window->startPauseButton()->click();
    window->close();
    QCoreApplication::processEvents();
    shell.time.advance(3);
    window = shell.open();
    EXPECT_EQ(window->display()->text(), QStringLiteral("29:57")) << "right at once on reopening";

    // Off, the countdown waits while no window shows it.
    AppSettings settings = shell.state.settings();
    settings.runningTimersKeepCounting = false;
    shell.state.setSettings(settings);
    window->close();
    QCoreApplication::processEvents();
    shell.time.advance(60);
    EXPECT_EQ(shell.open()->display()->text(), QStringLiteral("29:57"));
}

TEST(TavixApp, NewWindowsOfferTheActionsAndSettingsOpensItsWindow) {
    App app;
    app.newWindowAction()->trigger();
    ClockWindow* window = app.windowManager().window(app.appState().clocks().at(1).id);
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->actions().contains(app.newWindowAction())) << "Ctrl+N works in the new window";
    app.settingsAction()->trigger();
    ASSERT_TRUE(app.settingsWindow());
    EXPECT_TRUE(app.settingsWindow()->isVisible());
}

TEST(Translations, AGermanDesktopGetsGermanMenuSettingsAndPopoverWhileSavedNamesKeepTheirForm) {
    {
        const Translations german(QLocale(QLocale::German, QLocale::Germany));
        ASSERT_TRUE(german.translatesTavix());
        App app;
        ClockWindow* window = app.windowManager().window(app.appState().clocks().at(0).id);
        ASSERT_TRUE(window);
        QStringList menu;
        for (const QAction* action : window->actions()) {
            menu.append(action->text());
        }
        EXPECT_TRUE(menu.contains(QStringLiteral("Neues Fenster"))) << menu.join(u'|').toStdString();
        EXPECT_TRUE(menu.contains(QStringLiteral("Einstellungen\u2026"))) << menu.join(u'|').toStdString();
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Clock 1")) << "the saved name is not translated";

        window->toggleSettings();
        ASSERT_TRUE(window->popover());
        QStringList labels;
        for (const QLabel* label : window->popover()->findChildren<QLabel*>()) {
            labels.append(label->text());
        }
        EXPECT_TRUE(labels.contains(QStringLiteral("Deckkraft"))) << labels.join(u'|').toStdString();
        window->popover()->close();

        app.settingsAction()->trigger();
        ASSERT_TRUE(app.settingsWindow());
        EXPECT_EQ(app.settingsWindow()->windowTitle(), QStringLiteral("Tavix-Einstellungen"));
    }
    // Gone with the object; and a locale without a translation keeps the English texts.
    const Translations none(QLocale::c());
    EXPECT_FALSE(none.translatesTavix());
    App app;
    EXPECT_EQ(app.settingsAction()->text(), QStringLiteral("Settings\u2026"));
}

TEST(TavixApp, TerminationMarksQuittingThenSavesAndFlushesOnceAndClosesNoWindow) {
    App app;
    AppState& state = app.appState();
    ClockModel clock = state.clocks().at(0);
    clock.name = QStringLiteral("Renamed");
    state.setClock(0, clock);
    QSignalSpy saves(&state, &AppState::saved);
    app.terminate();
    app.terminate();
    EXPECT_EQ(saves.size(), 1);
    EXPECT_TRUE(state.isQuittingApp());
    // terminate() has flushed: the file already holds the change.
    const auto disk = StateFile(app.dir.path()).loadSavedState();
    ASSERT_TRUE(disk);
    EXPECT_EQ(disk->clocks.at(0).name, QStringLiteral("Renamed"));
    EXPECT_TRUE(app.windowManager().window(clock.id)->isVisible());
}

TEST(TavixApp, ActivationBringsTheWindowsBackOrOpensSettings) {
    App app;
    ClockWindow* window = app.windowManager().window(app.appState().clocks().at(0).id);
    window->showMinimized();
    app.activate();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isMinimized());
    EXPECT_FALSE(app.settingsWindow()) << "clock windows are there to show";

    AppFolder folder;
    TavixApp empty(folder.file, nullptr, folder.time); // no clock window opened
    empty.activate();
    ASSERT_TRUE(empty.settingsWindow());
    EXPECT_TRUE(empty.settingsWindow()->isVisible());
}

TEST(TavixApp, QuitAsksBeforeDiscardingChangesThatCouldNotBeSaved) {
    App app;
    app.appState().stateFile().flushPendingWrites();
    const QString path = app.appState().stateFile().stateFileURL();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner)); // the owner made it read-only
    QStringList answers = {QStringLiteral("Cancel"), QStringLiteral("Try Again"),
                           QStringLiteral("Quit Without Saving")};
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
    EXPECT_TRUE(informed[0].contains(QStringLiteral("read-only"))) << informed[0].toStdString();
    EXPECT_TRUE(app.quitInteractively()) << "Try Again fails again, then Quit Without Saving";
    EXPECT_TRUE(answers.isEmpty());

    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_TRUE(app.quitInteractively()) << "nothing to ask once saving works";
    EXPECT_EQ(informed.size(), 3);
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
