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

float TimecodeBlockProcessor::gainFor(float envelope) {
    return envelope * kMaximumGain > kGainTarget ? std::max(1.0f, kGainTarget / envelope) : kMaximumGain;
}

void TimecodeBlockProcessor::beginStream(double sampleRate) {
    m_sampleRate = sampleRate;
    m_streamSamples = 0;
    m_envelope = 0;
    m_envelopeHeldUntil = 0;
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

    // libltc reads 8-bit samples: below about -40 dBFS the waveform is rounded away. A gain that is
    // constant over a block and brings its peak at most to the target normalises without a limiter,
    // so the waveform keeps its shape. The peak envelope rises at once, holds while the signal stays
    // near it and only then falls, so a louder burst is never clipped and a steady signal keeps one
    // gain. The copy takes the gain of the envelope as it stands before this block; only a block
    // that raises the envelope is scaled again.
    float envelope = m_envelope;
    if (m_streamSamples >= m_envelopeHeldUntil) {
        const float release = float(std::exp(-double(frameCount) / (sampleRate * kGainReleaseSeconds)));
        envelope *= std::isfinite(release) ? release : 0.0f;
    }
    const float presetGain = gainFor(envelope);

    // One pass meters, copies and finds the peak; the sum runs in frame order in single precision,
    // as the meter's scale is defined on it, over the samples as they came.
    float sum = 0;
    float peak = 0;
    const float* in = samples + channel;
    float* out = m_mono.data();
    for (std::uint32_t i = 0; i < frameCount; ++i, in += channelCount) {
        const float sample = *in;
        out[i] = sample * presetGain;
        sum += sample * sample;
        const float magnitude = std::abs(sample);
        // Not std::max, which takes the address and keeps the peak in memory.
        peak = magnitude > peak ? magnitude : peak;
    }
    if (peak >= envelope * kGainHoldRatio) {
        m_envelopeHeldUntil = m_streamSamples + frameCount + std::int64_t(kGainHoldSeconds * sampleRate);
    }
    m_envelope = peak > envelope ? peak : envelope;
    m_windowPeak = peak > m_windowPeak ? peak : m_windowPeak;
    m_gain = gainFor(m_envelope);
    if (m_gain != presetGain) {
        const float correction = m_gain / presetGain;
        for (std::uint32_t i = 0; i < frameCount; ++i) {
            out[i] *= correction;
        }
    }

    float level = 4 * std::sqrt(sum / float(frameCount));
    if (level <= 0) {
        level = 0;
    }
    if (level > 1) {
        level = 1;
    }

    const std::int64_t blockStart = m_streamSamples;
    m_decoder.decode(m_mono.data(), m_mono.size(), sampleRate, fps);
    m_streamSamples += frameCount;
    for (const DecodedFrame& frame : m_decoder.frames()) {
        if (m_validator.offer({frame.time, frame.wellFormed, frame.reverse, blockStart + frame.endOffset,
                               frame.bitCellSamples, frame.bitTimingSpread})) {
            m_windowShown = true;
            ++m_shownFrames;
        }
    }

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
