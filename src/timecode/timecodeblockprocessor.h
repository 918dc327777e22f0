#pragma once

#include "ltcdecoderwrapper.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

struct TimecodeBlockResult {
    /// 4 x RMS of the selected channel, clamped to 0...1; not a number when the samples are not.
    float level = 0;
    /// The decoder's last time after this block (also when this block completed no frame).
    std::optional<DecodedTimecode> lastDecoded;
};

/// The work done for every captured block: pick the channel, meter it, copy it out as mono and
/// decode it. Owns the decoder wrapper. One thread at a time (the input manager's serial queue).
class TimecodeBlockProcessor {
public:
    /// 0 for a negative index; an index beyond the device's channels reads its last channel.
    static std::uint32_t selectChannel(std::int64_t channelIndex, std::uint32_t channelCount);

    /// `samples` holds at least frameCount x channelCount interleaved samples; both counts non-zero.
    TimecodeBlockResult process(const float* samples, std::uint32_t frameCount, std::uint32_t channelCount,
                                double sampleRate, std::int64_t channelIndex, double fps);

    const LTCDecoderWrapper& decoder() const { return m_decoder; }

private:
    LTCDecoderWrapper m_decoder;
    std::vector<float> m_mono; // reused, so a block costs no allocation once the size has settled
};

} // namespace tavix
