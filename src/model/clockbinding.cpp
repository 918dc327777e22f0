#include "clockbinding.h"

#include "appstate.h"

namespace tavix {

ClockBinding::ClockBinding(AppState* state, const QUuid& clockID) : m_state(state), m_clockID(clockID) {}

bool ClockBinding::exists() const {
    return m_state && m_state->indexOfClock(m_clockID).has_value();
}

ClockModel ClockBinding::read() const {
    if (m_state) {
        if (const auto index = m_state->indexOfClock(m_clockID); index && *index < m_state->clocks().size()) {
            return m_state->clocks().at(*index);
        }
    }
    return placeholder(m_clockID);
}

void ClockBinding::write(const ClockModel& clock) const {
    if (!m_state) {
        return;
    }
    if (const auto index = m_state->indexOfClock(m_clockID)) {
        m_state->setClock(*index, clock);
    }
}

ClockModel ClockBinding::placeholder(const QUuid& clockID) {
    ClockModel clock;
    clock.id = clockID;
    clock.name = QStringLiteral("Deleted Clock");
    clock.mode = ClockMode::clock;
    clock.foregroundColor = ColorValue::gray();
    clock.backgroundColor = ColorValue::black();
    clock.outlineColor = ColorValue::gray();
    clock.opacity = 0.5;
    clock.alwaysOnTop = false;
    clock.windowOrigin = {100, 100};
    clock.windowSize = {600, 200};
    clock.timeZoneOffset = 0.0;
    clock.countdown =
        CountdownSettings{1800, 1800, false, 60, ColorValue::yellow(), ColorValue::yellow(), true};
    clock.stopwatch = StopwatchSettings{0, false};
    clock.timecode = TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0};
    clock.timeUntil = TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true};
    return clock;
}

} // namespace tavix
