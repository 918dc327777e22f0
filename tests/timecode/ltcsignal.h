#pragma once

#include "timecode/ltcdecoderwrapper.h"

#include <vector>

namespace tavix::test {

/// LTC audio made with libltc's encoder, as a timecode source would send it.
struct LtcSignal {
    std::vector<float> samples;
    /// The time carried by each frame, in order.
    std::vector<DecodedTimecode> frames;
};

/// `frameCount` frames from `start`, mono, peak level `dbfs` (0 = full scale).
LtcSignal makeLtc(double sampleRate, double fps, DecodedTimecode start, int frameCount, double dbfs = -6);

} // namespace tavix::test
