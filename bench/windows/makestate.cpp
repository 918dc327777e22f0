// Writes a prepared state file for the benchmarks and the documentation screenshots.
// Usage: tavix_makestate OUT.plist SCENE [--remote on|off] [options of the one scene]
//   bench20  twenty windows, a mix of modes, five countdowns running, tiled on a 1920x1080 screen
//   bench100 the same mix, 100 windows tiled 10x10 on a 3840x2700 screen, 25 countdowns running
//   many:N   N small clocks of every mode (a quarter of them counting), cascaded on 1920x1080
//   modes    one window per mode, for screenshots
//   flash    three countdowns running in overtime, one per flash style, for screenshots
//   one      a single clock, "Clock 1", 620x220 at 200,200, shaped by these options:
//              --mode clock|countdown|stopwatch|timeUntil|timecode    (default clock)
//              --name TEXT, --origin X,Y, --size WxH
//              --time SECONDS  a countdown's time left or a stopwatch's elapsed time
//              --running, --tenths   the countdown or stopwatch runs, shows tenths of a second
//              --message TEXT  a caption under the digits, floating and on a stage
//              --stage         the clock fills the primary screen
// --remote turns the remote control on or off (on unless told, as in a new state file).
#include "model/clockmodel.h"
#include "model/statecodec.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <algorithm>
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

// "X,Y" or "WxH": two numbers around `separator`.
bool parsePair(const QString& text, QChar separator, double* first, double* second) {
    const QStringList parts = text.split(separator);
    bool firstOk = false;
    bool secondOk = false;
    if (parts.size() == 2) {
        *first = parts[0].toDouble(&firstOk);
        *second = parts[1].toDouble(&secondOk);
    }
    return firstOk && secondOk;
}

struct OneOptions {
    QCommandLineOption mode{QStringLiteral("mode"), {}, QStringLiteral("MODE")};
    QCommandLineOption name{QStringLiteral("name"), {}, QStringLiteral("TEXT")};
    QCommandLineOption origin{QStringLiteral("origin"), {}, QStringLiteral("X,Y")};
    QCommandLineOption size{QStringLiteral("size"), {}, QStringLiteral("WxH")};
    QCommandLineOption time{QStringLiteral("time"), {}, QStringLiteral("SECONDS")};
    QCommandLineOption running{QStringLiteral("running")};
    QCommandLineOption tenths{QStringLiteral("tenths")};
    QCommandLineOption message{QStringLiteral("message"), {}, QStringLiteral("TEXT")};
    QCommandLineOption stage{QStringLiteral("stage")};

    QList<QCommandLineOption> all() const {
        return {mode, name, origin, size, time, running, tenths, message, stage};
    }
};

std::optional<ClockModel> oneClock(const QCommandLineParser& parser, const OneOptions& options,
                                   QString* error) {
    ClockModel clock = makeClock(0, ClockMode::clock, 200, 200, 620, 220);
    if (parser.isSet(options.mode)) {
        const auto mode = clockModeFromRawValue(parser.value(options.mode));
        if (!mode) {
            *error = QStringLiteral("unknown mode %1").arg(parser.value(options.mode));
            return std::nullopt;
        }
        clock.mode = *mode;
    }
    if (parser.isSet(options.name)) {
        clock.name = parser.value(options.name);
    }
    if (parser.isSet(options.origin) &&
        !parsePair(parser.value(options.origin), u',', &clock.windowOrigin.x, &clock.windowOrigin.y)) {
        *error = QStringLiteral("--origin takes X,Y");
        return std::nullopt;
    }
    if (parser.isSet(options.size) &&
        !parsePair(parser.value(options.size), u'x', &clock.windowSize.width, &clock.windowSize.height)) {
        *error = QStringLiteral("--size takes WxH");
        return std::nullopt;
    }

    bool timeOk = true;
    const double time = parser.isSet(options.time) ? parser.value(options.time).toDouble(&timeOk) : 0;
    const bool running = parser.isSet(options.running);
    const bool tenths = parser.isSet(options.tenths);
    if (!timeOk) {
        *error = QStringLiteral("--time takes seconds");
        return std::nullopt;
    }
    if (clock.mode == ClockMode::countdown) {
        if (parser.isSet(options.time)) {
            clock.countdown->remaining = time;
            clock.countdown->duration = std::max(clock.countdown->duration, time);
        }
        clock.countdown->isRunning = running;
        clock.countdown->showTenths = tenths;
    } else if (clock.mode == ClockMode::stopwatch) {
        clock.stopwatch = StopwatchSettings{time, running, std::nullopt, tenths};
    } else if (parser.isSet(options.time) || running || tenths) {
        *error = QStringLiteral("--time, --running and --tenths go with a countdown or a stopwatch");
        return std::nullopt;
    }

    if (parser.isSet(options.stage) || parser.isSet(options.message)) {
        StageSettings stage;
        stage.isActive = parser.isSet(options.stage);
        if (parser.isSet(options.message)) {
            stage.caption = CaptionKind::message;
            stage.message = parser.value(options.message);
        }
        clock.stage = stage;
    }
    return clock;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const OneOptions one;
    const QCommandLineOption remote(QStringLiteral("remote"), {}, QStringLiteral("on|off"));
    parser.addOptions(one.all());
    parser.addOption(remote);
    const auto fail = [&](const QString& why) {
        std::fprintf(stderr,
                     "%s\nusage: %s OUT.plist (bench20 | bench100 | many:N | modes | flash | one) "
                     "[--remote on|off] [options of one: --mode --name --origin --size --time --running "
                     "--tenths --message --stage]\n",
                     qPrintable(why), argv[0]);
        return 2;
    };
    if (!parser.parse(app.arguments())) {
        return fail(parser.errorText());
    }
    if (parser.positionalArguments().size() != 2) {
        return fail(QStringLiteral("an output file and a scene are needed"));
    }
    const QString scene = parser.positionalArguments()[1];

    PersistenceContainer state;
    if (parser.isSet(remote)) {
        const QString value = parser.value(remote);
        if (value != QStringLiteral("on") && value != QStringLiteral("off")) {
            return fail(QStringLiteral("--remote takes on or off"));
        }
        state.settings.remoteControlEnabled = value == QStringLiteral("on");
    }
    if (scene != QStringLiteral("one")) {
        for (const QCommandLineOption& option : one.all()) {
            if (parser.isSet(option)) {
                return fail(QStringLiteral("--%1 goes with the one scene").arg(option.names().constFirst()));
            }
        }
    }

    if (scene == QStringLiteral("bench20")) {
        state.clocks = tiled(20, 5, 1080);
    } else if (scene == QStringLiteral("bench100")) {
        state.clocks = tiled(100, 10, 2700);
    } else if (scene == QStringLiteral("flash")) {
        state.clocks = flashStyles();
    } else if (scene.startsWith(QStringLiteral("many:"))) {
        state.clocks = many(scene.mid(5).toInt());
    } else if (scene == QStringLiteral("modes")) {
        state.clocks = modes();
    } else if (scene == QStringLiteral("one")) {
        QString why;
        const auto clock = oneClock(parser, one, &why);
        if (!clock) {
            return fail(why);
        }
        state.clocks = {*clock};
    } else {
        return fail(QStringLiteral("unknown scene %1").arg(scene));
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
