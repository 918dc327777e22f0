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

void TimecodeBlockProcessor::beginStream(double sampleRate) {
    m_sampleRate = sampleRate;
    m_streamSamples = 0;
    m_envelope = 0;
    m_windowStart = 0;
    m_windowRejected = 0;
    m_windowPeak = 0;
    m_windowShown = false;
    m_rejectionsToldAt.reset();
    m_unreadableToldAt.reset();
    m_validator.beginStream(sampleRate);
}

void TimecodeBlockProcessor::closeReportWindow(TimecodeBlockResult& result) {
    const auto mayTell = [this](const std::optional<std::int64_t>& toldAt) {
        return !toldAt || double(m_streamSamples - *toldAt) >= kReportIntervalSeconds * m_sampleRate;
    };
    if (m_windowRejected >= kRejectionsWorthTelling && mayTell(m_rejectionsToldAt)) {
        result.rejectedFrames = m_windowRejected;
        m_rejectionsToldAt = m_streamSamples;
    }
    if (!m_windowShown && m_windowPeak > kSignalPeak && mayTell(m_unreadableToldAt)) {
        result.unreadableSignal = true;
        m_unreadableToldAt = m_streamSamples;
    }
    m_windowStart = m_streamSamples;
    m_windowRejected = 0;
    m_windowPeak = 0;
    m_windowShown = false;
}

TimecodeBlockResult TimecodeBlockProcessor::process(const float* samples, std::uint32_t frameCount,
                                                    std::uint32_t channelCount, double sampleRate,
                                                    std::int64_t channelIndex, double fps, bool streamStart) {
    if (streamStart || sampleRate != m_sampleRate) {
        beginStream(sampleRate);
    }
    const std::uint32_t channel = selectChannel(channelIndex, channelCount);
    m_mono.resize(frameCount);
    // One pass meters and copies; the sum runs in frame order in single precision, as the meter's
    // scale is defined on it.
    float sum = 0;
    float peak = 0;
    const float* in = samples + channel;
    for (std::uint32_t i = 0; i < frameCount; ++i, in += channelCount) {
        const float sample = *in;
        m_mono[i] = sample;
        sum += sample * sample;
        peak = std::max(peak, std::abs(sample));
    }
    float level = 4 * std::sqrt(sum / float(frameCount));
    if (level <= 0) {
        level = 0;
    }
    if (level > 1) {
        level = 1;
    }

    // libltc reads 8-bit samples: below about -40 dBFS the waveform is rounded away. A gain that is
    // constant over a block and brings its peak at most to the target normalises without a limiter,
    // so the waveform keeps its shape. The peak envelope rises at once and falls slowly, so a
    // louder burst is never clipped and a steady signal is not pumped.
    const float release = float(std::exp(-double(frameCount) / (sampleRate * kGainReleaseSeconds)));
    m_envelope = std::max(peak, m_envelope * (std::isfinite(release) ? release : 0.0f));
    m_gain =
        m_envelope * kMaximumGain > kGainTarget ? std::max(1.0f, kGainTarget / m_envelope) : kMaximumGain;
    if (m_gain != 1.0f) {
        for (float& sample : m_mono) {
            sample *= m_gain;
        }
    }

    const std::int64_t blockStart = m_streamSamples;
    m_decoder.decode(m_mono.data(), m_mono.size(), sampleRate, fps);
    m_streamSamples += frameCount;
    for (const DecodedFrame& frame : m_decoder.frames()) {
        m_windowShown |=
            m_validator.offer({frame.time, frame.wellFormed, frame.reverse, blockStart + frame.endOffset,
                               frame.bitCellSamples, frame.bitTimingSpread});
    }
    m_windowPeak = std::max(m_windowPeak, peak);

    TimecodeBlockResult result;
    result.level = level;
    result.time = m_validator.shown();
    result.hasLiveTimecode = m_validator.isArriving(m_streamSamples, fps);
    result.shownFrames = m_shownFrames;
    result.measuredFramesPerSecond = result.hasLiveTimecode ? m_validator.measuredFramesPerSecond() : 0;
    m_windowRejected += m_validator.takeRejectedCount();
    if (double(m_streamSamples - m_windowStart) >= kReportWindowSeconds * sampleRate) {
        closeReportWindow(result);
    }
    return result;
}

} // namespace tavix
