#include "timecoderuntimeholder.h"

#include "model/appstate.h"

namespace tavix {

// Placeholder until the input manager lands: it only stores the default settings into a clock.
class TimecodeInputManager {};

TimecodeRuntimeHolder::TimecodeRuntimeHolder(AudioHal* hal, QObject* parent)
    : QObject(parent), m_hal(hal), m_runtime(new TimecodeRuntime(this)) {}

TimecodeRuntimeHolder::~TimecodeRuntimeHolder() = default;

void TimecodeRuntimeHolder::appear(AppState& state, const QUuid& clockID) {
    if (const auto index = state.indexOfClock(clockID)) {
        ClockModel clock = state.clocks().at(*index);
        if (!clock.timecode) {
            clock.timecode = defaultSettings();
            state.setClock(*index, clock);
        }
    }
}

void TimecodeRuntimeHolder::settingsChanged(const std::optional<TimecodeSettings>&) {}

void TimecodeRuntimeHolder::disappear() {}

} // namespace tavix
