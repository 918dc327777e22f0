#pragma once

#include "model/clockmodel.h"

#include <QObject>
#include <QString>

#include <optional>

namespace tavix {

/// The live, unsaved values of one timecode clock: the last decoded time, its frozen copy for HOLD,
/// the hold switch, the input level, and whether timecode is arriving and at what rate. Every
/// assignment notifies, even of an equal value.
/// Main thread only.
class TimecodeRuntime : public QObject {
    Q_OBJECT

public:
    struct Time {
        int hours = 0;
        int minutes = 0;
        int seconds = 0;
        int frames = 0;
        /// Drop-frame timecode: shown with a semicolon before the frames.
        bool dropFrame = false;
        bool operator==(const Time&) const = default;
    };

    /// What one captured block tells, applied at once.
    struct Input {
        /// Absent: the level stays as it is.
        std::optional<float> level;
        /// Absent: nothing has been decoded yet.
        std::optional<Time> liveTime;
        bool hasLiveTimecode = false;
        double measuredFramesPerSecond = 0;
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
    /// A new frame arrived within the last 10 frame periods. False until the first one.
    bool hasLiveTimecode() const { return m_hasLiveTimecode; }
    /// Frame rate of the arriving timecode against the audio clock; 0 while not known.
    double measuredFramesPerSecond() const { return m_measuredFramesPerSecond; }
    /// The standard rate that the arriving timecode runs at, once measured.
    std::optional<TimecodeFrameRate> detectedFrameRate() const;
    /// The face shows NO LTC: no timecode arrives and the time is not held.
    bool showsNoTimecode() const { return !m_hasLiveTimecode && !m_holdEnabled; }

    /// Turning hold on copies the live time into the frozen one at once.
    void setHoldEnabled(bool enabled);
    void setLevel(float level);
    /// Sets the live time, and the frozen time too while hold is off.
    void setLiveTime(int hours, int minutes, int seconds, int frames, bool dropFrame = false);
    void setHasLiveTimecode(bool live);
    /// Everything a block tells, with one notification.
    void setInput(const Input& input);

    /// The frozen time while hold is on, otherwise the live time.
    Time displayedTime() const;
    /// The displayed time as HH:MM:SS:FF (HH:MM:SS;FF for drop-frame), each at least two digits.
    QString displayString() const;

Q_SIGNALS:
    /// After every assignment of any published value.
    void changed();

private:
    void assignLiveTime(const Time& time);

    Time m_live;
    Time m_frozen;
    bool m_holdEnabled = false;
    float m_level = 0;
    bool m_hasLiveTimecode = false;
    double m_measuredFramesPerSecond = 0;
};

} // namespace tavix
