#include "ltcdecoderwrapper.h"

#include <ltc.h>

#include <cmath>
#include <limits>

namespace tavix {

void LTCDecoderWrapper::DecoderDeleter::operator()(LTCDecoder* decoder) const {
    ltc_decoder_free(decoder);
}

LTCDecoderWrapper::LTCDecoderWrapper() = default;
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
    LTCDecoder* decoder = ensureDecoder(sampleRate, fps);
    if (decoder == nullptr) {
        return;
    }
    // libltc only reads the buffer; its signature merely lacks the const.
    ltc_decoder_write_float(decoder, const_cast<float*>(samples), count, m_runningSamplePos);
    m_runningSamplePos += std::int64_t(count);

    LTCFrameExt frame{};
    while (ltc_decoder_read(decoder, &frame) != 0) {
        SMPTETimecode time{};
        ltc_frame_to_time(&time, &frame.ltc, 0);
        m_lastDecoded = DecodedTimecode{time.hours, time.mins, time.secs, time.frame};
    }
}

} // namespace tavix
