#pragma once

#include "binding.h"
#include "model/clockbinding.h"

namespace tavix {

// Bindings on the settings record of one mode of a clock. A read of a clock that has no record for
// the mode first stores the panel's own fallback record (not the application defaults), so showing
// a mode's section is enough to give the clock its settings. Main thread only.

/// 30 minutes, 60 s warning, yellow warning colours, flashing on.
CountdownSettings fallbackCountdownSettings();
/// 30 fps, no device, channel 0.
TimecodeSettings fallbackTimecodeSettings();
/// 18:00:00, red colours, flashing on.
TimeUntilSettings fallbackTimeUntilSettings();

Binding<CountdownSettings> countdownSettingsBinding(const ClockBinding& clock);
Binding<TimecodeSettings> timecodeSettingsBinding(const ClockBinding& clock);
Binding<TimeUntilSettings> timeUntilSettingsBinding(const ClockBinding& clock);
Binding<StopwatchSettings> stopwatchSettingsBinding(const ClockBinding& clock);

} // namespace tavix
