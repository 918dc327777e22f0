// Measures how close the ticks of the real engine land to the change of the shown second: for a
// wall clock, the milliseconds past the whole second at which the new text is set; for every
// mode, how late the tick fired against the moment it was armed for.
// Usage: tavix_ticklag [SECONDS]   (default 20)
#include "display/runningtimers.h"
#include "display/tickengine.h"
#include "display/tickscheduler.h"
#include "display/timesource.h"
#include "model/appstate.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tavix;

namespace {

void report(const char* what, std::vector<double> values) {
    if (values.empty()) {
        return;
    }
    std::sort(values.begin(), values.end());
    const auto at = [&](double q) { return values[static_cast<std::size_t>(q * double(values.size() - 1))]; };
    std::printf("%-34s n=%3zu  min %6.2f  median %6.2f  p95 %6.2f  max %6.2f ms\n", what, values.size(),
                values.front(), at(0.5), at(0.95), values.back());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
    QTemporaryDir dir;
    auto file = std::make_shared<StateFile>(dir.path());
    AppState state(file);
    state.addClock();
    state.addClock();
    QList<ClockModel> clocks = state.clocks();
    clocks[1].mode = ClockMode::countdown;
    clocks[1].countdown->isRunning = true;
    clocks[2].mode = ClockMode::stopwatch;
    clocks[2].stopwatch->isRunning = true;
    state.setClocks(clocks);

    SystemTimeSource time;
    RunningTimers timers(state, time);
    TickScheduler ticks(time);
    std::vector<double> wallPhase, wallLate, countdownLate, stopwatchLate;
    std::vector<TickEngine*> engines;
    for (int i = 0; i < 3; ++i) {
        auto* engine = new TickEngine(ClockBinding(&state, clocks[i].id), timers, ticks, &app);
        QObject::connect(engine, &TickEngine::ticked, &app, [&, engine, i] {
            if (engine->lastTickLatenessMs() > 500) {
                return; // a Start/Pause, not a timer tick
            }
            if (i == 0) {
                wallPhase.push_back(double(time.wallNow().toMSecsSinceEpoch() % 1000));
                wallLate.push_back(engine->lastTickLatenessMs());
            } else if (i == 1) {
                countdownLate.push_back(engine->lastTickLatenessMs());
            } else {
                stopwatchLate.push_back(engine->lastTickLatenessMs());
            }
        });
        engine->startTicking();
        engines.push_back(engine);
    }
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    std::printf(
        "Tick placement over %d s (targets: wall clock 3 ms after the second, countdown 10 ms before)\n",
        seconds);
    report("wall clock: ms after the second", wallPhase);
    report("wall clock: timer lateness", wallLate);
    report("countdown: timer lateness", countdownLate);
    report("stopwatch: timer lateness", stopwatchLate);
    file->flushPendingWrites();
    return 0;
}
