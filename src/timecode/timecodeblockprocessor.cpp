#include "timecodeblockprocessor.h"

#include <algorithm>
#include <cmath>

namespace tavix {

std::uint32_t TimecodeBlockProcessor::selectChannel(std::int64_t channelIndex, std::uint32_t channelCount) {
    if (channelIndex < 0) {
        return 0;
    }
    return std::uint32_t(std::min<std::int64_t>(std::int64_t(channelCount) - 1, channelIndex));
}

TimecodeBlockResult TimecodeBlockProcessor::process(const float* samples, std::uint32_t frameCount,
                                                    std::uint32_t channelCount, double sampleRate,
                                                    std::int64_t channelIndex, double fps) {
    const std::uint32_t channel = selectChannel(channelIndex, channelCount);
    m_mono.resize(frameCount);
    // One pass meters and copies; the sum runs in frame order in single precision, as the meter's
    // scale is defined on it.
    float sum = 0;
    const float* in = samples + channel;
    for (std::uint32_t i = 0; i < frameCount; ++i, in += channelCount) {
        const float sample = *in;
        m_mono[i] = sample;
        sum += sample * sample;
    }
    float level = 4 * std::sqrt(sum / float(frameCount));
    if (level <= 0) {
        level = 0;
    }
    if (level > 1) {
        level = 1;
    }
    m_decoder.decode(m_mono.data(), m_mono.size(), sampleRate, fps);
    return TimecodeBlockResult{level, m_decoder.lastDecoded()};
}

} // namespace tavix
