#include "ltcsignal.h"

#include <ltc.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace tavix::test {

namespace {

LtcSignal encode(double sampleRate, double fps, DecodedTimecode start, int frameCount, double dbfs,
                 std::optional<bool> dropFrame) {
    const LTC_TV_STANDARD standard = fps < 24.5 ? LTC_TV_FILM_24 : (fps < 27 ? LTC_TV_625_50 : LTC_TV_525_60);
    LTCEncoder* encoder = ltc_encoder_create(sampleRate, fps, standard, 0);
    ltc_encoder_set_volume(encoder, 0.0); // full scale; the level is applied in float below
    const auto byte = [](int value) { return std::uint8_t(value); };
    SMPTETimecode time{
        "+0000", 0, 0, 0, byte(start.hours), byte(start.minutes), byte(start.seconds), byte(start.frames)};
    ltc_encoder_set_timecode(encoder, &time);
    if (dropFrame) {
        // The encoder sets the flag for 29.97 by itself; its frame counting follows the flag.
        LTCFrame frame{};
        ltc_encoder_get_frame(encoder, &frame);
        frame.dfbit = *dropFrame ? 1 : 0;
        ltc_encoder_set_frame(encoder, &frame);
    }

    const float gain = float(std::pow(10.0, dbfs / 20.0)) / 127.0f;
    LtcSignal signal;
    for (int i = 0; i < frameCount; ++i) {
        LTCFrame frame{};
        ltc_encoder_get_frame(encoder, &frame);
        ltc_encoder_get_timecode(encoder, &time);
        signal.frames.push_back(
            DecodedTimecode{time.hours, time.mins, time.secs, time.frame, frame.dfbit != 0});
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

} // namespace

LtcSignal makeLtc(double sampleRate, double fps, DecodedTimecode start, int frameCount, double dbfs) {
    return encode(sampleRate, fps, start, frameCount, dbfs, std::nullopt);
}

LtcSignal makeLtc(double sampleRate, TimecodeFrameRate rate, DecodedTimecode start, int frameCount,
                  double dbfs) {
    return encode(sampleRate, framesPerSecond(rate), start, frameCount, dbfs,
                  rate == TimecodeFrameRate::fps29_97DF);
}

std::vector<float> whiteNoise(std::size_t count, double dbfs, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<float> normal(0.0f, float(std::pow(10.0, dbfs / 20.0)));
    std::vector<float> noise(count);
    std::generate(noise.begin(), noise.end(), [&] { return normal(random); });
    return noise;
}

std::vector<float> hum(std::size_t count, double sampleRate, double hz, double dbfs) {
    const double peak = std::pow(10.0, dbfs / 20.0) / 1.2;
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = double(i) / sampleRate;
        samples[i] = float(peak * (std::sin(2 * M_PI * hz * t) + 0.2 * std::sin(2 * M_PI * 3 * hz * t)));
    }
    return samples;
}

std::vector<float> mixed(std::vector<float> a, const std::vector<float>& b, std::size_t at) {
    for (std::size_t i = at; i < a.size() && i - at < b.size(); ++i) {
        a[i] += b[i - at];
    }
    return a;
}

} // namespace tavix::test
