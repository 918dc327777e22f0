#pragma once

#include "ltcdecoderwrapper.h"
#include "timecodevalidator.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

struct TimecodeBlockResult {
    /// 4 x RMS of the selected channel, clamped to 0...1; not a number when the samples are not.
    float level = 0;
    /// The last frame that passed the checks, from this block or an earlier one: what the clock shows.
    std::optional<DecodedTimecode> time;
    /// A checked frame ended within the last 10 frame periods before the end of this block.
    bool hasLiveTimecode = false;
    /// Frames shown so far, over the processor's life: tells a new frame from an old one.
    std::uint64_t shownFrames = 0;
    /// The frame rate measured against the sample clock while timecode arrives; 0 while not known.
    double measuredFramesPerSecond = 0;
    /// Non-zero on the block that ends 10 s of audio in which this many frames were rejected, when
    /// that many are worth telling (a noisy or mixed signal, not one glitch); at most once a minute.
    int rejectedFrames = 0;
    /// Set on the block that ends 10 s of audio with a signal on the channel but no frame shown; at
    /// most once a minute.
    bool unreadableSignal = false;
};

/// The work done for every captured block: pick the channel, meter it, bring a weak signal up to a
/// level the decoder reads, decode it, and check the decoded frames. Owns the decoder wrapper.
/// One thread at a time (the input manager's serial queue).
class TimecodeBlockProcessor {
public:
    /// Weak signals are raised towards this peak (-6 dBFS) ...
    static constexpr float kGainTarget = 0.5f;
    /// ... by at most +48 dB; stronger ones pass unchanged (the gain never goes below 1).
    static constexpr float kMaximumGain = 256.0f;
    /// The peak envelope holds this long after the last block that came near it (within 3 dB) ...
    static constexpr double kGainHoldSeconds = 0.5;
    static constexpr float kGainHoldRatio = 0.7f;
    /// ... and then falls with this time constant.
    static constexpr double kGainReleaseSeconds = 0.25;
    /// What is worth a line on standard output is judged over windows of this much audio ...
    static constexpr double kReportWindowSeconds = 10;
    /// ... and told at most once in this much.
    static constexpr double kReportIntervalSeconds = 60;
    static constexpr int kRejectionsWorthTelling = 5;
    /// A peak above -40 dBFS on the channel is a signal, not the noise floor of a quiet line input.
    static constexpr float kSignalPeak = 0.01f;

    /// 0 for a negative index; an index beyond the device's channels reads its last channel.
    static std::uint32_t selectChannel(std::int64_t channelIndex, std::uint32_t channelCount);

    /// `samples` holds at least frameCount x channelCount interleaved samples; both counts non-zero.
    /// `fps` is the clock's frame rate; `streamStart` marks the first block of a capture.
    TimecodeBlockResult process(const float* samples, std::uint32_t frameCount, std::uint32_t channelCount,
                                double sampleRate, std::int64_t channelIndex, double fps,
                                bool streamStart = false);

    const LTCDecoderWrapper& decoder() const { return m_decoder; }
    /// The gain applied to the last block before decoding.
    float gain() const { return m_gain; }

private:
    void beginStream(double sampleRate);
    /// The gain for a peak envelope: up to the target, never below 1 nor above the maximum.
    static float gainFor(float envelope);
    void closeReportWindow(TimecodeBlockResult& result);

    LTCDecoderWrapper m_decoder;
    TimecodeValidator m_validator;
    std::vector<float> m_mono; // reused, so a block costs no allocation once the size has settled
    double m_sampleRate = 0;
    std::int64_t m_streamSamples = 0;
    float m_envelope = 0;
    std::int64_t m_envelopeHeldUntil = 0;
    float m_gain = 1;
    std::int64_t m_windowStart = 0;
    int m_windowRejected = 0;
    float m_windowPeak = 0;
    bool m_windowShown = false;
    std::uint64_t m_shownFrames = 0;
    std::optional<std::int64_t> m_rejectionsToldAt;
    std::optional<std::int64_t> m_unreadableToldAt;
};

} // namespace tavix
