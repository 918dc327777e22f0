#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

struct LTCDecoder;

namespace tavix {

/// A decoded time address, as carried in the received timecode.
struct DecodedTimecode {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int frames = 0;
    /// The frame's drop-frame flag.
    bool dropFrame = false;
    bool operator==(const DecodedTimecode&) const = default;
};

/// One frame as the decoder completed it.
struct DecodedFrame {
    DecodedTimecode time;
    /// Every BCD digit of the time is a decimal digit (bit errors can make units of 10 to 15).
    bool wellFormed = true;
    /// Played backwards.
    bool reverse = false;
    /// Mean length of the frame's 80 bit cells, in samples.
    float bitCellSamples = 0;
    /// How far the longest or shortest bit cell lies from that mean, as a fraction of it: a few per
    /// cent for real LTC, far more for bits pieced together from noise or from two streams.
    float bitTimingSpread = 0;
    /// Where the frame ended, in samples from the start of the block that completed it; slightly
    /// negative when it ended just before that block.
    std::int64_t endOffset = 0;
};

/// Turns blocks of mono samples into the most recently decoded LTC time with one libltc decoder,
/// made lazily and made anew whenever the sample rate or the frame rate changes.
/// No lock: one thread at a time (the input manager's serial queue).
class LTCDecoderWrapper {
public:
    static constexpr int kQueueSize = 32;
    static constexpr int kBitsPerFrame = 80;

    LTCDecoderWrapper();
    ~LTCDecoderWrapper();
    LTCDecoderWrapper(const LTCDecoderWrapper&) = delete;
    LTCDecoderWrapper& operator=(const LTCDecoderWrapper&) = delete;

    /// Audio frames per video frame, rounded half away from zero; absent when the quotient is not
    /// finite, does not fit 32 bits, or is below 1 (no decoder can work with it).
    static std::optional<std::int32_t> audioFramesPerVideoFrame(double sampleRate, double fps);

    /// The decoder for this pair, made anew when apv, rate or fps differ; null when libltc could not
    /// make one or the pair has no apv.
    LTCDecoder* ensureDecoder(double sampleRate, double fps);
    /// Feeds `count` samples; afterwards lastDecoded() holds the newest decoded time and frames()
    /// every frame that this block completed.
    void decode(const float* samples, std::size_t count, double sampleRate, double fps);

    /// Kept across new decoders and across capture restarts; never cleared.
    const std::optional<DecodedTimecode>& lastDecoded() const { return m_lastDecoded; }
    /// The frames completed by the last decode(), oldest first.
    const std::vector<DecodedFrame>& frames() const { return m_frames; }
    bool hasDecoder() const { return m_decoder != nullptr; }
    std::int32_t lastAPV() const { return m_lastAPV; }
    double lastSampleRate() const { return m_lastSampleRate; }
    double lastFPS() const { return m_lastFPS; }
    std::int64_t runningSamplePos() const { return m_runningSamplePos; }

private:
    struct DecoderDeleter {
        void operator()(LTCDecoder* decoder) const;
    };

    std::unique_ptr<LTCDecoder, DecoderDeleter> m_decoder;
    std::int32_t m_lastAPV = 0;
    double m_lastSampleRate = 0;
    double m_lastFPS = 0;
    std::int64_t m_runningSamplePos = 0;
    std::optional<DecodedTimecode> m_lastDecoded;
    std::vector<DecodedFrame> m_frames; // capacity for a full decoder queue, so a block never allocates
};

} // namespace tavix
