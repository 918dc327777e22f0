#include "ltcsignal.h"

#include <ltc.h>

#include <cmath>
#include <cstring>

namespace tavix::test {

LtcSignal makeLtc(double sampleRate, double fps, DecodedTimecode start, int frameCount, double dbfs) {
    const LTC_TV_STANDARD standard = fps < 24.5 ? LTC_TV_FILM_24 : (fps < 27 ? LTC_TV_625_50 : LTC_TV_525_60);
    LTCEncoder* encoder = ltc_encoder_create(sampleRate, fps, standard, 0);
    ltc_encoder_set_volume(encoder, 0.0); // full scale; the level is applied in float below
    SMPTETimecode time{};
    std::strcpy(time.timezone, "+0000");
    time.hours = std::uint8_t(start.hours);
    time.mins = std::uint8_t(start.minutes);
    time.secs = std::uint8_t(start.seconds);
    time.frame = std::uint8_t(start.frames);
    ltc_encoder_set_timecode(encoder, &time);

    const float gain = float(std::pow(10.0, dbfs / 20.0)) / 127.0f;
    LtcSignal signal;
    for (int i = 0; i < frameCount; ++i) {
        ltc_encoder_get_timecode(encoder, &time);
        signal.frames.push_back(DecodedTimecode{time.hours, time.mins, time.secs, time.frame});
        ltc_encoder_encode_frame(encoder);
        ltcsnd_sample_t* buffer = nullptr;
        const int length = ltc_encoder_get_bufferptr(encoder, &buffer, 1);
        for (int k = 0; k < length; ++k) {
            signal.samples.push_back((float(buffer[k]) - 128.0f) * gain);
        }
        ltc_encoder_inc_timecode(encoder);
    }
    ltc_encoder_free(encoder);
    return signal;
}

} // namespace tavix::test
