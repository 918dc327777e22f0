// Renders the clock settings popover in each mode and the settings window to PNG files, for the
// documentation. Run under a display: tools/screenshots/make-screenshots.sh <output folder>.
#include "editors/clocksettingspopover.h"
#include "editors/popover.h"
#include "editors/preferencesview.h"
#include "editors/timecodesettingseditor.h"
#include "model/appstate.h"
#include "scriptedaudiobackend.h"
#include "timecode/timecoderuntime.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavix;

namespace {

bool save(QWidget* widget, const QString& path) {
    QCoreApplication::processEvents();
    const bool ok = widget->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QTemporaryDir directory;
    auto stateFile = std::make_shared<StateFile>(directory.path());
    AppState state(stateFile);
    state.addClock();
    state.addClock();
    state.renameClock(state.clocks()[1].id, QStringLiteral("Stage countdown"));
    state.renameClock(state.clocks()[2].id, QStringLiteral("FOH timecode"));
    {
        QList<ClockModel> clocks = state.clocks();
        clocks[1].mode = ClockMode::countdown;
        clocks[2].mode = ClockMode::timecode;
        clocks[2].timecode = TimecodeSettings{TimecodeFrameRate::fps25, QStringLiteral("2"), 1};
        clocks[0].timeZoneOffset = 19800;
        clocks[0].opacity = 0.85;
        clocks[0].timecode = TimecodeSettings{TimecodeFrameRate::fps25, QStringLiteral("2"), 1};
        state.setClocks(clocks);
    }

    test::ScriptedAudioBackend audio;
    audio.setAccessGranted(true);
    const auto device = [](std::uint32_t id, const char* name, std::uint32_t channels) {
        return test::ScriptedAudioDevice(id, QString::fromUtf8(name), channels);
    };
    audio.setDevices({device(1, "Built-in Audio Analog Stereo", 2), device(2, "USB Line Interface", 4),
                      device(3, "Virtual Cable", 2)});
    TimecodeRuntime runtime;
    runtime.setLiveTime(10, 24, 31, 12);
    runtime.setLevel(0.62f);

    QPushButton anchor(QStringLiteral("Settings"));
    anchor.move(200, 40);
    anchor.show();

    bool ok = true;
    const QUuid id = state.clocks()[0].id;
    const std::vector<std::pair<ClockMode, QString>> modes = {
        {ClockMode::clock, QStringLiteral("popover-time.png")},
        {ClockMode::countdown, QStringLiteral("popover-countdown.png")},
        {ClockMode::stopwatch, QStringLiteral("popover-stopwatch.png")},
        {ClockMode::timecode, QStringLiteral("popover-timecode.png")},
        {ClockMode::timeUntil, QStringLiteral("popover-time-until.png")},
    };
    for (const auto& [mode, file] : modes) {
        ClockModel clock = state.clocks()[0];
        clock.mode = mode;
        state.setClock(0, clock);
        auto* content = new ClockSettingsPopover(ClockBinding(&state, id), &runtime, 90, &audio);
        Popover* popover = Popover::open(&anchor, content);
        if (mode == ClockMode::timecode) {
            auto* editor = qobject_cast<TimecodeSettingsEditor*>(content->modeSection());
            test::waitUntil([editor] { return editor && !editor->staging().isLoading(); });
        }
        test::waitUntil([] { return false; }, 300);
        ok = save(popover, out + QLatin1Char('/') + file) && ok;
        popover->close();
        QCoreApplication::processEvents();
    }

    {
        ClockModel clock = state.clocks()[0];
        clock.mode = ClockMode::clock;
        state.setClock(0, clock);
    }
    PreferencesView preferences(
        &state, [](const QUuid&) {}, 160);
    preferences.setWindowTitle(QStringLiteral("Settings"));
    preferences.show();
    test::waitUntil([] { return false; }, 300);
    ok = save(&preferences, out + QStringLiteral("/settings-window.png")) && ok;
    stateFile->flushPendingWrites();
    return ok ? 0 : 1;
}
