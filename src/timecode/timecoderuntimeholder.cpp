#include "timecoderuntimeholder.h"

#include "model/appstate.h"
#include "timecodeinputmanager.h"

namespace tavix {

TimecodeRuntimeHolder::TimecodeRuntimeHolder(AudioBackend* audio, QObject* parent)
    : QObject(parent), m_audio(audio), m_runtime(new TimecodeRuntime(this)) {}

// The manager goes first: its capture stops and its queue drains while the runtime still exists.
TimecodeRuntimeHolder::~TimecodeRuntimeHolder() {
    m_manager.reset();
}

void TimecodeRuntimeHolder::appear(AppState& state, const QUuid& clockID) {
    std::optional<TimecodeSettings> settings;
    if (const auto index = state.indexOfClock(clockID)) {
        ClockModel clock = state.clocks().at(*index);
        if (!clock.timecode) {
            clock.timecode = defaultSettings();
            state.setClock(*index, clock);
        }
        settings = clock.timecode;
    }
    if (m_manager) {
        // The manager keeps the settings it holds; changes reach it through settingsChanged().
        m_manager->stop();
        m_manager->start();
        return;
    }
    createManager(settings.value_or(defaultSettings()));
}

void TimecodeRuntimeHolder::settingsChanged(const std::optional<TimecodeSettings>& settings) {
    const TimecodeSettings effective = settings.value_or(defaultSettings());
    if (m_manager) {
        m_manager->setSettings(effective);
        m_manager->stop();
        m_manager->start();
        return;
    }
    createManager(effective);
}

void TimecodeRuntimeHolder::disappear() {
    if (m_manager) {
        m_manager->stop();
    }
}

void TimecodeRuntimeHolder::createManager(const TimecodeSettings& settings) {
    auto manager = std::make_unique<TimecodeInputManager>(m_audio, m_runtime, settings);
    manager->stop();
    manager->start();
    m_manager = std::move(manager);
    Q_EMIT managerChanged();
}

} // namespace tavix
