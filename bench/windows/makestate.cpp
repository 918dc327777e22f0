// Writes a prepared state file for the window benchmark and the documentation screenshots.
// Usage: tavix_makestate OUT.plist (bench20 | bench100 | many:N | modes)
//   bench20  twenty windows, a mix of modes, five countdowns running, tiled on a 1920x1080 screen
//   bench100 the same mix, 100 windows tiled 10x10 on a 3840x2700 screen, 25 countdowns running
//   many:N   N small clocks of every mode (a quarter of them counting), cascaded on 1920x1080
//   modes    one window per mode, for screenshots
//   stopwatch:tenths, stopwatch:plain  one running stopwatch, 620x220, with or without tenths
//   flash    three countdowns running in overtime, one per flash style, for screenshots
#include "model/clockmodel.h"
#include "model/statecodec.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

using namespace tavix;

namespace {

ClockModel makeClock(int index, ClockMode mode, double x, double y, double width, double height) {
    ClockModel clock =
        ClockModel::makeNew(QUuid::createUuid(), QStringLiteral("Clock %1").arg(index + 1), {});
    clock.mode = mode;
    clock.windowOrigin = {x, y};
    clock.windowSize = {width, height};
    return clock;
}

QList<ClockModel> tiled(int count, int columns, double screenHeight) {
    const ClockMode modes[] = {ClockMode::clock, ClockMode::countdown, ClockMode::stopwatch,
                               ClockMode::timeUntil};
    QList<ClockModel> clocks;
    int countdowns = 0;
    for (int i = 0; i < count; ++i) {
        const double x = (i % columns) * 384;
        const double y = screenHeight - (i / columns + 1) * 270;
        ClockModel clock = makeClock(i, modes[i % 4], x, y, 380, 260);
        if (clock.mode == ClockMode::countdown && countdowns < count / 4) {
            clock.countdown->isRunning = true;
            clock.countdown->remaining = 600 + 37 * i;
            ++countdowns;
        }
        if (clock.mode == ClockMode::stopwatch) {
            clock.stopwatch = StopwatchSettings{12.0 * i, false};
        }
        clocks.append(clock);
    }
    // One running countdown in every four clocks.
    return clocks;
}

QList<ClockModel> many(int count) {
    const ClockMode modes[] = {ClockMode::clock, ClockMode::countdown, ClockMode::stopwatch,
                               ClockMode::timeUntil};
    QList<ClockModel> clocks;
    clocks.reserve(count);
    for (int i = 0; i < count; ++i) {
        ClockModel clock = makeClock(i, modes[i % 4], (i * 7) % 1500, (i * 5) % 900, 360, 150);
        clock.countdown->isRunning = clock.mode == ClockMode::countdown;
        clocks.append(clock);
    }
    return clocks;
}

QList<ClockModel> modes() {
    QList<ClockModel> clocks;
    ClockModel wall = makeClock(0, ClockMode::clock, 40, 820, 620, 220);
    wall.name = QStringLiteral("Studio");
    clocks.append(wall);

    ClockModel countdown = makeClock(1, ClockMode::countdown, 680, 820, 620, 220);
    countdown.name = QStringLiteral("Segment");
    countdown.countdown->remaining = 754;
    clocks.append(countdown);

    ClockModel warning = makeClock(2, ClockMode::countdown, 1300, 820, 600, 220);
    warning.name = QStringLiteral("Overtime");
    warning.countdown->remaining = -42;
    warning.countdown->flashWhenDone = false;
    warning.countdown->isRunning = false;
    clocks.append(warning);

    ClockModel stopwatch = makeClock(3, ClockMode::stopwatch, 40, 560, 620, 220);
    stopwatch.name = QStringLiteral("Rehearsal");
    stopwatch.stopwatch = StopwatchSettings{3723.4, false};
    stopwatch.foregroundColor = ColorValue::srgb(0.95, 0.95, 0.95, 1);
    stopwatch.outlineColor = ColorValue::srgb(0.45, 0.45, 0.48, 1);
    clocks.append(stopwatch);

    ClockModel until = makeClock(4, ClockMode::timeUntil, 680, 560, 620, 220);
    until.name = QStringLiteral("Doors");
    until.foregroundColor = ColorValue::srgb(0.1, 0.1, 0.1, 1);
    until.backgroundColor = ColorValue::srgb(0.96, 0.96, 0.94, 1);
    until.outlineColor = ColorValue::srgb(0.2, 0.45, 0.9, 1);
    clocks.append(until);

    ClockModel timecode = makeClock(5, ClockMode::timecode, 1300, 560, 600, 220);
    timecode.name = QStringLiteral("LTC");
    timecode.foregroundColor = ColorValue::srgb(1.0, 0.62, 0.1, 1);
    timecode.outlineColor = ColorValue::srgb(1.0, 0.62, 0.1, 1);
    clocks.append(timecode);
    return clocks;
}

ClockModel runningStopwatch(bool tenths) {
    ClockModel clock = makeClock(0, ClockMode::stopwatch, 200, 200, 620, 220);
    clock.stopwatch = StopwatchSettings{83.0, true, std::nullopt, tenths};
    return clock;
}

QList<ClockModel> flashStyles() {
    QList<ClockModel> clocks;
    const char* names[] = {"Text", "Outline and background", "Off"};
    for (int i = 0; i < 3; ++i) {
        ClockModel clock = makeClock(i, ClockMode::countdown, 40 + i * 630, 300, 620, 220);
        clock.name = QString::fromUtf8(names[i]);
        clock.countdown->remaining = -62.5;
        clock.countdown->isRunning = true;
        clock.countdown->flashWhenDone = i != 2;
        clock.countdown->overtimeFlashStyle =
            i == 1 ? OvertimeFlashStyle::outlineAndBackground : OvertimeFlashStyle::text;
        clock.countdown->overtimeForegroundColor = ColorValue::srgb(1.0, 0.3, 0.25, 1);
        clock.countdown->overtimeOutlineColor = ColorValue::srgb(1.0, 0.3, 0.25, 1);
        clocks.append(clock);
    }
    return clocks;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s OUT.plist (bench20 | bench100 | many:N | modes | stopwatch:tenths | "
                     "stopwatch:plain | flash)\n",
                     argv[0]);
        return 2;
    }
    const QByteArray scene(argv[2]);
    PersistenceContainer state;
    if (scene == "bench20") {
        state.clocks = tiled(20, 5, 1080);
    } else if (scene == "bench100") {
        state.clocks = tiled(100, 10, 2700);
    } else if (scene.startsWith("stopwatch:")) {
        state.clocks = {runningStopwatch(scene == "stopwatch:tenths")};
    } else if (scene == "flash") {
        state.clocks = flashStyles();
    } else if (scene.startsWith("many:")) {
        state.clocks = many(scene.mid(5).toInt());
    } else {
        state.clocks = modes();
    }
    QString error;
    const auto bytes = encodeStateFile(state, &error);
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!bytes || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(*bytes) != bytes->size()) {
        std::fprintf(stderr, "could not write %s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    return 0;
}
