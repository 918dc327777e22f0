#include "clocksettingspopover.h"

#include "timecode/timecoderuntime.h"

namespace tavix {

// The panel's rows arrive with the settings editors; until then it is an empty, fixed-width panel.
ClockSettingsPopover::ClockSettingsPopover(ClockBinding clock, TimecodeRuntime* timecodeRuntime, double labelWidth,
                                           AudioHal* hal, QWidget* parent)
    : QWidget(parent), m_clock(std::move(clock)), m_timecodeRuntime(timecodeRuntime), m_labelWidth(labelWidth),
      m_hal(hal) {
    setFixedWidth(380);
    setMinimumHeight(40);
}

} // namespace tavix
