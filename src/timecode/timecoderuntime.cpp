#include "timecoderuntime.h"

#include "timecodevalidator.h"

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

void TimecodeRuntime::assignLiveTime(const Time& time) {
    m_live = time;
    if (!m_holdEnabled) {
        m_frozen = m_live;
    }
}

void TimecodeRuntime::setLiveTime(int hours, int minutes, int seconds, int frames, bool dropFrame) {
    assignLiveTime({hours, minutes, seconds, frames, dropFrame});
    Q_EMIT changed();
}

void TimecodeRuntime::setHasLiveTimecode(bool live) {
    m_hasLiveTimecode = live;
    if (!live) {
        m_measuredFramesPerSecond = 0;
    }
    Q_EMIT changed();
}

void TimecodeRuntime::setInput(const Input& input) {
    if (input.level) {
        m_level = *input.level;
    }
    if (input.liveTime) {
        assignLiveTime(*input.liveTime);
    }
    m_hasLiveTimecode = input.hasLiveTimecode;
    m_measuredFramesPerSecond = input.hasLiveTimecode ? input.measuredFramesPerSecond : 0;
    Q_EMIT changed();
}

std::optional<TimecodeFrameRate> TimecodeRuntime::detectedFrameRate() const {
    if (!m_hasLiveTimecode || m_measuredFramesPerSecond <= 0) {
        return std::nullopt;
    }
    return classifyFrameRate(m_measuredFramesPerSecond, m_live.dropFrame);
}

TimecodeRuntime::Time TimecodeRuntime::displayedTime() const {
    return m_holdEnabled ? m_frozen : m_live;
}

QString TimecodeRuntime::displayString() const {
    const Time t = displayedTime();
    return QString::asprintf("%02d:%02d:%02d%c%02d", t.hours, t.minutes, t.seconds, t.dropFrame ? ';' : ':',
                             t.frames);
}

} // namespace tavix
