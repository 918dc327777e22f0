#pragma once

#include "ltcdecoderwrapper.h"
#include "model/clockmodel.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace tavix {

/// Frames in one second of timecode running at `fps`: 24, 25 or 30; 0 when `fps` is none of those.
int nominalFrameCount(double fps);
/// The clock frame rate that a measured rate stands for: within 0.04 % of 23.976, 24, 25, 29.97 or 30
/// (0.1 % apart from their neighbours), 29.97 drop-frame when the frames say so at 29.97. None for
/// any other rate.
std::optional<TimecodeFrameRate> classifyFrameRate(double measuredFps, bool dropFrame);

/// "25 fps", "29.97 fps drop-frame".
QString frameRateText(TimecodeFrameRate rate);

/// Decides which decoded LTC frames the clock shows, whether timecode is still arriving, and how fast
/// it runs against the sample clock. A frame with an impossible field or unsteady bit timing is never
/// shown. A frame that continues the last shown one, one frame length after it (or, after a
/// drop-out, as many frames on as the audio clock says have passed), is shown at once. Any other is
/// held back and shown only when the next frame continues it in the same way, and only while most
/// recent frames continued the one before them: bit errors in noise, or frames pieced together from
/// two streams on one channel, can look like a pair, but not like a steady signal. Positions are
/// sample counts on the clock of the capture that delivered the frames.
/// One thread at a time (the input manager's serial queue).
class TimecodeValidator {
public:
    /// Timecode counts as lost when no frame was shown for this many frame periods.
    static constexpr int kLostAfterFrames = 10;
    /// The rate is measured over at most this many consecutive frames...
    static constexpr int kRateWindowFrames = 128;
    /// ... and reported once this many have arrived (a little over a second).
    static constexpr int kRateMinimumFrames = 32;
    /// How many recent decoded frames tell whether the signal can be trusted with a jump ...
    static constexpr int kQualityWindowFrames = 32;
    /// ... and what share of them must have continued the frame before them.
    static constexpr double kMinimumQuality = 0.6;

    /// Real LTC keeps its bit cells within a few per cent of each other (wow, flutter, a dull cable
    /// edge); a cell further off than this, or than 1.5 samples of rounding, marks a made-up frame.
    static constexpr double kMaximumBitTimingSpread = 0.12;

    struct Frame {
        DecodedTimecode time;
        bool wellFormed = true;
        bool reverse = false;
        /// Where the frame ended, in samples since the stream began.
        std::int64_t endSample = 0;
        /// As the decoder measured them (DecodedFrame); 0 when not known.
        double bitCellSamples = 0;
        double bitTimingSpread = 0;
    };

    /// A new stream (a capture start, another sample rate): nothing arrives until a frame is shown,
    /// and the rate is measured anew. The last shown time stays on show.
    void beginStream(double sampleRate);
    /// Whether `frame` is shown. Frames come in stream order.
    bool offer(const Frame& frame);

    /// The last shown time, kept across streams.
    const std::optional<DecodedTimecode>& shown() const { return m_shown; }
    /// A frame was shown at most kLostAfterFrames frame periods before `streamSample`, each period
    /// of the measured rate or, while none is measured, of `assumedFps`.
    bool isArriving(std::int64_t streamSample, double assumedFps) const;
    /// Over the latest run of consecutive frames, once it is long enough; 0 otherwise.
    double measuredFramesPerSecond() const;
    /// Frames rejected since the last call: impossible ones, and jumps that no frame confirmed or that
    /// came while the signal could not be trusted.
    int takeRejectedCount();
    /// Of the recent decoded frames that had a frame just before them, the share that continued it;
    /// 1 while there are none.
    double quality() const;

    /// No field out of range: hours below 24, minutes and seconds below 60, frames below
    /// `frameCount` (30 when it is 0, not known), and none of the frame numbers that drop-frame
    /// counting leaves out.
    static bool isPossible(const DecodedTimecode& time, int frameCount);
    /// Well-formed digits, a possible time and steady bit timing.
    static bool isPlausible(const Frame& frame, int frameCount);
    /// Frames since midnight at `frameCount` frames a second (drop-frame counting when the time says
    /// so at 30); none when `frameCount` is 0.
    static std::optional<std::int64_t> frameNumber(const DecodedTimecode& time, int frameCount);
    /// `next` is the frame after `previous`, or before it when played backwards. With `frameCount`
    /// 0 (not known) a second may end after frame 23, 24 or 29.
    static bool continues(const DecodedTimecode& previous, const DecodedTimecode& next, bool reverse,
                          int frameCount);

private:
    void show(const Frame& frame);
    void record(bool continued);
    /// `next` continues `previous` in time and ends one frame length after it.
    static bool follows(const Frame& previous, const Frame& next, int frameCount);
    /// `next` is the frame that a source running on from the last shown one would send now, after a
    /// drop-out: its time and its place in the audio agree with the measured rate.
    bool resumes(const Frame& next) const;
    /// In samples, from the frame's bit cells; 0 when not known.
    static double frameLength(const Frame& frame);
    void extendRun(std::int64_t endSample);
    /// The frames per second of the run that `endSample` would extend; 0 when none is measured.
    int frameCountAt(std::int64_t endSample) const;

    double m_sampleRate = 0;
    std::optional<DecodedTimecode> m_shown;
    std::optional<Frame> m_last; // the last shown frame, in the current stream only
    std::optional<Frame> m_candidate;
    // End positions of the latest run of consecutive shown frames, as a ring.
    std::array<std::int64_t, kRateWindowFrames> m_run{};
    int m_runLength = 0;
    int m_runHead = 0; // where the next entry goes
    double m_measuredFps = 0;
    int m_rejected = 0;
    // Whether each recent decoded frame continued the plausible frame just before it, as a ring.
    std::array<bool, kQualityWindowFrames> m_recent{};
    int m_recentLength = 0;
    int m_recentHead = 0;
    std::optional<Frame> m_previous; // the last plausible decoded frame, shown or not
};

} // namespace tavix
