#include "timecoderuntime.h"

namespace tavix {

TimecodeRuntime::TimecodeRuntime(QObject* parent) : QObject(parent) {}

void TimecodeRuntime::setHoldEnabled(bool enabled) {
    m_holdEnabled = enabled;
    Q_EMIT changed();
    if (enabled) {
        m_frozen = m_live;
        Q_EMIT changed();
    }
}

void TimecodeRuntime::setLevel(float level) {
    m_level = level;
    Q_EMIT changed();
}

void TimecodeRuntime::setLiveTime(int hours, int minutes, int seconds, int frames) {
    m_live = {hours, minutes, seconds, frames};
    if (!m_holdEnabled) {
        m_frozen = m_live;
    }
    Q_EMIT changed();
}

TimecodeRuntime::Time TimecodeRuntime::displayedTime() const {
    return m_holdEnabled ? m_frozen : m_live;
}

QString TimecodeRuntime::displayString() const {
    const Time t = displayedTime();
    return QString::asprintf("%02d:%02d:%02d:%02d", t.hours, t.minutes, t.seconds, t.frames);
}

} // namespace tavix
