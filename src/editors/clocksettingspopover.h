#pragma once

#include "model/clockbinding.h"

#include <QPointer>
#include <QWidget>

namespace tavix {

class AudioHal;
class TimecodeRuntime;

/// The settings panel of one clock, shown in a Popover from the clock window's settings button.
/// Every control writes straight into the bound clock.
/// Main thread only.
class ClockSettingsPopover : public QWidget {
    Q_OBJECT

public:
    /// `timecodeRuntime` and `hal` may be null (no timecode input available).
    ClockSettingsPopover(ClockBinding clock, TimecodeRuntime* timecodeRuntime, double labelWidth, AudioHal* hal,
                         QWidget* parent = nullptr);

Q_SIGNALS:
    /// The panel asks its presentation to close (the timecode editor's Apply and Cancel).
    void dismissRequested();

private:
    ClockBinding m_clock;
    QPointer<TimecodeRuntime> m_timecodeRuntime;
    double m_labelWidth;
    AudioHal* m_hal;
};

} // namespace tavix
