#include "modebindings.h"

namespace tavix {

CountdownSettings fallbackCountdownSettings() {
    return CountdownSettings{1800, 1800, false, 60, ColorValue::yellow(), ColorValue::yellow(), true};
}

TimecodeSettings fallbackTimecodeSettings() {
    return TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0};
}

TimeUntilSettings fallbackTimeUntilSettings() {
    return TimeUntilSettings{18, 0, 0, ColorValue::red(), ColorValue::red(), true};
}

namespace {

template <typename T>
Binding<T> modeBinding(const ClockBinding& clock, std::optional<T> ClockModel::*field, T (*fallback)()) {
    return Binding<T>{[clock, field, fallback] {
                          ClockModel model = clock.read();
                          if (!(model.*field)) {
                              model.*field = fallback();
                              clock.write(model);
                          }
                          return *(model.*field);
                      },
                      [clock, field](const T& value) {
                          ClockModel model = clock.read();
                          model.*field = value;
                          clock.write(model);
                      }};
}

} // namespace

Binding<CountdownSettings> countdownSettingsBinding(const ClockBinding& clock) {
    return modeBinding(clock, &ClockModel::countdown, &fallbackCountdownSettings);
}

Binding<TimecodeSettings> timecodeSettingsBinding(const ClockBinding& clock) {
    return modeBinding(clock, &ClockModel::timecode, &fallbackTimecodeSettings);
}

Binding<StopwatchSettings> stopwatchSettingsBinding(const ClockBinding& clock) {
    return modeBinding(
        clock, &ClockModel::stopwatch, +[] {
            return StopwatchSettings{0, false};
        });
}

Binding<TimeUntilSettings> timeUntilSettingsBinding(const ClockBinding& clock) {
    return modeBinding(clock, &ClockModel::timeUntil, &fallbackTimeUntilSettings);
}

} // namespace tavix
