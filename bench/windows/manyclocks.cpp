// Opens N clock windows (default 1000) with the real application object on the display in
// DISPLAY (run it under tests/support/with-xvfb.sh), then makes the final save as Quit does, and
// prints how long each took and how fast windows opened in every tenth of the run: a rate that
// falls as clocks are added means something grows faster than linearly. Quit of the real process,
// windows and all, is measured by quit.sh.
// Usage: tavix_manyclocks [N]
#include "display/clockwindow.h"
#include "display/timesource.h"
#include "model/appstate.h"
#include "model/statecodec.h"
#include "model/statefile.h"
#include "platform/audiobackend.h"
#include "shell/clockwindowmanager.h"
#include "shell/tavixapp.h"
#include "widgets/symbols.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace tavix;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // As the application sets it: the windows share it.
    QApplication::setWindowIcon(applicationIcon());
    const int count = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    QTemporaryDir dir;
    {
        PersistenceContainer state;
        const ClockMode modes[] = {ClockMode::clock, ClockMode::countdown, ClockMode::stopwatch,
                                   ClockMode::timeUntil};
        for (int i = 0; i < count; ++i) {
            ClockModel clock =
                ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock %1").arg(i + 1), {});
            clock.mode = modes[i % 4];
            clock.windowOrigin = {double((i * 7) % 1500), double((i * 5) % 900)};
            clock.windowSize = {360, 150};
            clock.countdown->isRunning = clock.mode == ClockMode::countdown;
            state.clocks.append(clock);
        }
        auto file = std::make_shared<StateFile>(dir.path());
        QFile out(file->stateFileURL());
        if (!out.open(QIODevice::WriteOnly) || out.write(*encodeStateFile(state, nullptr)) < 0) {
            std::fprintf(stderr, "could not write the state file\n");
            return 1;
        }
    }

    SystemTimeSource time;
    QElapsedTimer clock;
    clock.start();
    auto tavix = std::make_unique<TavixApp>(std::make_shared<StateFile>(dir.path()), nullptr, time);
    const qint64 loadedMs = clock.elapsed();
    const int tenth = std::max(1, count / 10);
    std::vector<qint64> marks;
    int opened = 0;
    QObject::connect(&tavix->windowManager(), &ClockWindowManager::windowOpened, &app, [&] {
        if (++opened % tenth == 0) {
            marks.push_back(clock.elapsed());
        }
    });
    tavix->start();
    const qint64 openedMs = clock.elapsed();
    // Until the window system shows every window.
    const auto allExposed = [&] {
        for (ClockWindow* window : tavix->windowManager().windows()) {
            if (!window->windowHandle() || !window->windowHandle()->isExposed()) {
                return false;
            }
        }
        return true;
    };
    // Waiting runs the event loop as the application does: processEvents with a time limit would
    // spin, and take from the window system the CPU it needs to show the windows.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (allExposed() || clock.elapsed() > openedMs + 120000) {
            loop.quit();
        }
    });
    poll.start(20);
    loop.exec();
    poll.stop();
    const qint64 exposedMs = clock.elapsed();
    // A few seconds of running, as a user would see it.
    QTimer::singleShot(3000, &loop, &QEventLoop::quit);
    loop.exec();

    QElapsedTimer quitting;
    quitting.start();
    tavix->terminate();
    const qint64 savedMs = quitting.elapsed();

    std::printf("clocks: %d\n", count);
    std::printf("load: %lld ms\n", static_cast<long long>(loadedMs));
    std::printf("open: %lld ms (all windows created and shown)\n", static_cast<long long>(openedMs));
    std::printf("exposed: %lld ms (the window system shows all of them)\n",
                static_cast<long long>(exposedMs));
    std::printf("final save: %lld ms (written and flushed)\n", static_cast<long long>(savedMs));
    std::printf("opening rate per tenth (windows/s):");
    qint64 previous = loadedMs;
    for (const qint64 mark : marks) {
        std::printf(" %.0f", tenth * 1000.0 / static_cast<double>(std::max<qint64>(1, mark - previous)));
        previous = mark;
    }
    std::printf("\n");
    std::fflush(stdout);
    // As the application ends: the windows go with the process.
    dir.remove();
    std::_Exit(0);
}
