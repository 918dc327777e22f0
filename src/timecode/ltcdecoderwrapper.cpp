#include "ltcdecoderwrapper.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavix {

static_assert(LTCDecoderWrapper::kBitsPerFrame == LTC_FRAME_BIT_COUNT);

void LTCDecoderWrapper::DecoderDeleter::operator()(LTCDecoder* decoder) const {
    ltc_decoder_free(decoder);
}

LTCDecoderWrapper::LTCDecoderWrapper() {
    m_frames.reserve(kQueueSize);
}
LTCDecoderWrapper::~LTCDecoderWrapper() = default;

std::optional<std::int32_t> LTCDecoderWrapper::audioFramesPerVideoFrame(double sampleRate, double fps) {
    const double rounded = std::round(sampleRate / fps); // halves away from zero
    if (!std::isfinite(rounded) || rounded < 1 ||
        rounded > double(std::numeric_limits<std::int32_t>::max())) {
        return std::nullopt;
    }
    return std::int32_t(rounded);
}

LTCDecoder* LTCDecoderWrapper::ensureDecoder(double sampleRate, double fps) {
    const auto apv = audioFramesPerVideoFrame(sampleRate, fps);
    if (!apv) {
        return nullptr;
    }
    if (m_decoder && m_lastAPV == *apv && m_lastSampleRate == sampleRate && m_lastFPS == fps) {
        return m_decoder.get();
    }
    m_decoder.reset();
    m_decoder.reset(ltc_decoder_create(*apv, kQueueSize));
    m_lastAPV = *apv;
    m_lastSampleRate = sampleRate;
    m_lastFPS = fps;
    m_runningSamplePos = 0;
    return m_decoder.get();
}

void LTCDecoderWrapper::decode(const float* samples, std::size_t count, double sampleRate, double fps) {
    m_frames.clear();
    LTCDecoder* decoder = ensureDecoder(sampleRate, fps);
    if (decoder == nullptr) {
        return;
    }
    const std::int64_t blockStart = m_runningSamplePos;
    // libltc only reads the buffer; its signature merely lacks the const.
    ltc_decoder_write_float(decoder, const_cast<float*>(samples), count, blockStart);
    m_runningSamplePos += std::int64_t(count);

    LTCFrameExt frame{};
    while (ltc_decoder_read(decoder, &frame) != 0) {
        SMPTETimecode time{};
        ltc_frame_to_time(&time, &frame.ltc, 0);
        const LTCFrame& bits = frame.ltc;
        const DecodedTimecode decoded{time.hours, time.mins, time.secs, time.frame, bits.dfbit != 0};
        m_lastDecoded = decoded;
        if (m_frames.size() < m_frames.capacity()) {
            const bool wellFormed = bits.frame_units <= 9 && bits.secs_units <= 9 && bits.mins_units <= 9 &&
                                    bits.hours_units <= 9;
            // One pass: the spread is the farther of the shortest and the longest cell from the mean.
            float total = 0;
            float shortest = frame.biphase_tics[0];
            float longest = frame.biphase_tics[0];
            for (const float tics : frame.biphase_tics) {
                total += tics;
                shortest = std::min(shortest, tics);
                longest = std::max(longest, tics);
            }
            const float mean = total / float(kBitsPerFrame);
            const float spread = std::max(longest - mean, mean - shortest);
            m_frames.push_back(DecodedFrame{decoded, wellFormed, frame.reverse != 0, mean,
                                            mean > 0 ? spread / mean : 0,
                                            std::int64_t(frame.off_end) - blockStart});
        }
    }
}

} // namespace tavix
