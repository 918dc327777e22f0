#pragma once

#include <QObject>
#include <QString>

namespace tavix {

/// The live, unsaved values of one timecode clock: the last decoded time, its frozen copy for HOLD,
/// the hold switch and the input level. Every assignment notifies, even of an equal value.
/// Main thread only.
class TimecodeRuntime : public QObject {
    Q_OBJECT

public:
    struct Time {
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
        int frames = 0;
        bool operator==(const Time&) const = default;
    };

    explicit TimecodeRuntime(QObject* parent = nullptr);

    int hours() const { return m_live.hours; }
    int minutes() const { return m_live.minutes; }
    int seconds() const { return m_live.seconds; }
    int frames() const { return m_live.frames; }
    int frozenHours() const { return m_frozen.hours; }
    int frozenMinutes() const { return m_frozen.minutes; }
    int frozenSeconds() const { return m_frozen.seconds; }
    int frozenFrames() const { return m_frozen.frames; }
    Time liveTime() const { return m_live; }
    Time frozenTime() const { return m_frozen; }
    bool holdEnabled() const { return m_holdEnabled; }
    float level() const { return m_level; }

    /// Turning hold on copies the live time into the frozen one at once.
    void setHoldEnabled(bool enabled);
    void setLevel(float level);
    /// Sets the live time, and the frozen time too while hold is off.
    void setLiveTime(int hours, int minutes, int seconds, int frames);

    /// The frozen time while hold is on, otherwise the live time.
    Time displayedTime() const;
    /// The displayed time as HH:MM:SS:FF, each at least two digits.
    QString displayString() const;

Q_SIGNALS:
    /// After every assignment of any published value.
    void changed();

private:
    Time m_live;
    Time m_frozen;
    bool m_holdEnabled = false;
    float m_level = 0;
};

} // namespace tavix
