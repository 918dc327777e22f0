#pragma once

#include "model/clockmodel.h"
#include "timecode/ltcdecoderwrapper.h"

#include <cstddef>
#include <vector>

namespace tavix::test {

/// LTC audio made with libltc's encoder, as a timecode source would send it.
struct LtcSignal {
    std::vector<float> samples;
    /// The time carried by each frame, in order.
    std::vector<DecodedTimecode> frames;
};

/// `frameCount` frames from `start`, mono, peak level `dbfs` (0 = full scale). At 29.97 fps the frames
/// are drop-frame, as libltc's encoder makes them.
LtcSignal makeLtc(double sampleRate, double fps, DecodedTimecode start, int frameCount, double dbfs = -6);
/// The same at one of the clock's rates: `fps29_97` is non-drop, `fps29_97DF` drop-frame.
LtcSignal makeLtc(double sampleRate, TimecodeFrameRate rate, DecodedTimecode start, int frameCount,
                  double dbfs = -6);

/// Gaussian white noise with an RMS level of `dbfs`.
std::vector<float> whiteNoise(std::size_t count, double dbfs, unsigned seed = 1);
/// Mains hum: `hz` with a third harmonic 14 dB down, peak level about `dbfs`.
std::vector<float> hum(std::size_t count, double sampleRate, double hz, double dbfs);
/// `a` with `b` added onto it from sample `at` of `a` on (as far as both reach).
std::vector<float> mixed(std::vector<float> a, const std::vector<float>& b, std::size_t at = 0);

} // namespace tavix::test
