#include "timecodevalidator.h"

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

// The longest gap between the ends of two consecutive frames: one frame at 20 fps, well below the
// slowest rate.
double longestFramePeriod(double sampleRate) {
    return sampleRate / 20;
}

} // namespace

int nominalFrameCount(double fps) {
    for (const int count : {24, 25, 30}) {
        if (std::abs(fps - count) < 0.5) {
            return count;
        }
    }
    return 0;
}

std::optional<TimecodeFrameRate> classifyFrameRate(double measuredFps, bool dropFrame) {
    struct Standard {
        TimecodeFrameRate rate;
        double fps;
    };
    static constexpr Standard standards[] = {{TimecodeFrameRate::fps23_976, 24000.0 / 1001},
                                             {TimecodeFrameRate::fps24, 24},
                                             {TimecodeFrameRate::fps25, 25},
                                             {TimecodeFrameRate::fps29_97, 30000.0 / 1001},
                                             {TimecodeFrameRate::fps30, 30}};
    for (const Standard& standard : standards) {
        if (std::abs(measuredFps / standard.fps - 1) < 4e-4) {
            if (standard.rate == TimecodeFrameRate::fps29_97 && dropFrame) {
                return TimecodeFrameRate::fps29_97DF;
            }
            return standard.rate;
        }
    }
    return std::nullopt;
}

QString frameRateText(TimecodeFrameRate rate) {
    if (rate == TimecodeFrameRate::fps29_97DF) {
        return QStringLiteral("29.97 fps drop-frame");
    }
    return rawValue(rate) + QStringLiteral(" fps");
}

void TimecodeValidator::beginStream(double sampleRate) {
    m_sampleRate = sampleRate;
    m_last.reset();
    m_previous.reset();
    m_recentLength = 0;
    m_candidate.reset();
    m_runLength = 0;
    m_measuredFps = 0;
}

bool TimecodeValidator::offer(const Frame& frame) {
    const int frameCount = frameCountAt(frame.endSample);
    if (!isPlausible(frame, frameCount)) {
        ++m_rejected;
        record(false);
        return false;
    }
    // A frame after a gap tells nothing about the signal's quality.
    if (m_previous && double(frame.endSample - m_previous->endSample) <= 1.5 * frameLength(frame)) {
        record(follows(*m_previous, frame, frameCount));
    }
    m_previous = frame;

    if (m_last && (follows(*m_last, frame, frameCount) || resumes(frame))) {
        m_rejected += m_candidate ? 1 : 0;
        m_candidate.reset();
        show(frame);
        return true;
    }
    if (m_candidate && follows(*m_candidate, frame, frameCount) && quality() >= kMinimumQuality) {
        m_runLength = 0;
        extendRun(m_candidate->endSample);
        m_candidate.reset();
        show(frame);
        return true;
    }
    m_rejected += m_candidate ? 1 : 0;
    m_candidate = frame;
    return false;
}

void TimecodeValidator::record(bool continued) {
    m_recent[std::size_t(m_recentHead)] = continued;
    m_recentHead = (m_recentHead + 1) % kQualityWindowFrames;
    m_recentLength = std::min(m_recentLength + 1, kQualityWindowFrames);
}

double TimecodeValidator::quality() const {
    if (m_recentLength == 0) {
        return 1;
    }
    int continued = 0;
    for (int k = 0; k < m_recentLength; ++k) {
        continued +=
            m_recent[std::size_t((m_recentHead - 1 - k + kQualityWindowFrames) % kQualityWindowFrames)];
    }
    return double(continued) / m_recentLength;
}

double TimecodeValidator::frameLength(const Frame& frame) {
    return double(LTCDecoderWrapper::kBitsPerFrame) * frame.bitCellSamples;
}

bool TimecodeValidator::resumes(const Frame& next) const {
    // Only a rate measured before the drop-out says how many frames it swallowed.
    const int frameCount = nominalFrameCount(m_measuredFps);
    const auto last = frameNumber(m_last->time, frameCount);
    const auto now = frameNumber(next.time, frameCount);
    if (!last || !now || next.reverse || next.time.dropFrame != m_last->time.dropFrame) {
        return false;
    }
    const double period = m_sampleRate / m_measuredFps;
    const double gap = double(next.endSample - m_last->endSample);
    const double passed = std::round(gap / period);
    // Longer gaps would let the rate's last digits decide; a minute is well inside them.
    if (passed < 2 || gap > 60 * m_sampleRate || std::abs(gap - passed * period) > 0.25 * period) {
        return false;
    }
    const std::int64_t day = *frameNumber(DecodedTimecode{24, 0, 0, 0, next.time.dropFrame}, frameCount);
    return *now == (*last + std::int64_t(passed)) % day;
}

std::optional<std::int64_t> TimecodeValidator::frameNumber(const DecodedTimecode& time, int frameCount) {
    if (frameCount <= 0) {
        return std::nullopt;
    }
    const std::int64_t minutes = std::int64_t(time.hours) * 60 + time.minutes;
    std::int64_t number = (minutes * 60 + time.seconds) * frameCount + time.frames;
    if (time.dropFrame && frameCount == 30) {
        number -= 2 * (minutes - minutes / 10);
    }
    return number;
}

bool TimecodeValidator::follows(const Frame& previous, const Frame& next, int frameCount) {
    if (!continues(previous.time, next.time, next.reverse, frameCount)) {
        return false;
    }
    if (next.bitCellSamples <= 0) {
        return true;
    }
    // Consecutive in the audio too: one frame length apart. Two streams on one channel make the
    // decoder find frames about twice as often, pieced together from both.
    const double length = frameLength(next);
    return std::abs(double(next.endSample - previous.endSample) - length) <= 0.1 * length + 2;
}

void TimecodeValidator::show(const Frame& frame) {
    m_shown = frame.time;
    m_last = frame;
    extendRun(frame.endSample);
}

void TimecodeValidator::extendRun(std::int64_t endSample) {
    if (m_runLength > 0) {
        const std::int64_t last = m_run[std::size_t((m_runHead + kRateWindowFrames - 1) % kRateWindowFrames)];
        const std::int64_t gap = endSample - last;
        if (gap <= 0 || double(gap) > longestFramePeriod(m_sampleRate)) {
            m_runLength = 0;
        }
    }
    m_run[std::size_t(m_runHead)] = endSample;
    m_runHead = (m_runHead + 1) % kRateWindowFrames;
    m_runLength = std::min(m_runLength + 1, kRateWindowFrames);

    m_measuredFps = 0;
    if (m_runLength < kRateMinimumFrames || m_sampleRate <= 0) {
        return;
    }
    // A least-squares line through the frame ends: the frame period with the jitter of single edges
    // averaged out, so that one second tells 24 from 23.976. One pass, oldest entry first, with the
    // ring walked as its two straight pieces.
    const int n = m_runLength;
    const int oldest = (m_runHead - n + kRateWindowFrames) % kRateWindowFrames;
    const std::int64_t origin = m_run[std::size_t(oldest)];
    double sumY = 0;
    double sumKY = 0;
    int k = 0;
    const auto add = [&](int from, int to) {
        for (int i = from; i < to; ++i, ++k) {
            const double y = double(m_run[std::size_t(i)] - origin);
            sumY += y;
            sumKY += k * y;
        }
    };
    if (oldest + n <= kRateWindowFrames) {
        add(oldest, oldest + n);
    } else {
        add(oldest, kRateWindowFrames);
        add(0, oldest + n - kRateWindowFrames);
    }
    const double meanK = (n - 1) / 2.0;
    const double varianceK = double(n) * (double(n) * n - 1) / 12;
    const double samplesPerFrame = (sumKY - meanK * sumY) / varianceK;
    if (samplesPerFrame > 0) {
        m_measuredFps = m_sampleRate / samplesPerFrame;
    }
}

int TimecodeValidator::frameCountAt(std::int64_t endSample) const {
    if (m_runLength == 0 || m_measuredFps <= 0) {
        return 0;
    }
    // A measurement from before a gap says nothing about what comes after it.
    const std::int64_t last = m_run[std::size_t((m_runHead + kRateWindowFrames - 1) % kRateWindowFrames)];
    if (double(endSample - last) > kLostAfterFrames * longestFramePeriod(m_sampleRate)) {
        return 0;
    }
    return nominalFrameCount(m_measuredFps);
}

bool TimecodeValidator::isArriving(std::int64_t streamSample, double assumedFps) const {
    if (!m_last || m_sampleRate <= 0) {
        return false;
    }
    const double fps = m_measuredFps > 0 ? m_measuredFps : assumedFps;
    if (!(fps > 0)) {
        return false;
    }
    return double(streamSample - m_last->endSample) <= kLostAfterFrames * m_sampleRate / fps;
}

double TimecodeValidator::measuredFramesPerSecond() const {
    return m_measuredFps;
}

int TimecodeValidator::takeRejectedCount() {
    const int count = m_rejected;
    m_rejected = 0;
    return count;
}

bool TimecodeValidator::isPlausible(const Frame& frame, int frameCount) {
    const double allowed =
        frame.bitCellSamples > 0 ? std::max(kMaximumBitTimingSpread, 1.5 / frame.bitCellSamples) : 1.0;
    return frame.wellFormed && frame.bitTimingSpread <= allowed && isPossible(frame.time, frameCount);
}

bool TimecodeValidator::isPossible(const DecodedTimecode& time, int frameCount) {
    const int frames = frameCount > 0 ? frameCount : 30;
    if (time.hours < 0 || time.hours >= 24 || time.minutes < 0 || time.minutes >= 60 || time.seconds < 0 ||
        time.seconds >= 60 || time.frames < 0 || time.frames >= frames) {
        return false;
    }
    // Drop-frame counting leaves out frames 0 and 1 at the start of every minute but each tenth.
    return !(time.dropFrame && time.seconds == 0 && time.frames < 2 && time.minutes % 10 != 0);
}

bool TimecodeValidator::continues(const DecodedTimecode& previous, const DecodedTimecode& next, bool reverse,
                                  int frameCount) {
    if (reverse) {
        return continues(next, previous, false, frameCount);
    }
    if (next.dropFrame != previous.dropFrame) {
        return false;
    }
    if (next.hours == previous.hours && next.minutes == previous.minutes &&
        next.seconds == previous.seconds) {
        return next.frames == previous.frames + 1;
    }
    const bool lastOfSecond = frameCount > 0
                                  ? previous.frames == frameCount - 1
                                  : (previous.frames == 23 || previous.frames == 24 || previous.frames == 29);
    if (!lastOfSecond) {
        return false;
    }
    DecodedTimecode expected{previous.hours, previous.minutes, previous.seconds + 1, 0, previous.dropFrame};
    if (expected.seconds == 60) {
        expected.seconds = 0;
        if (++expected.minutes == 60) {
            expected.minutes = 0;
            expected.hours = (expected.hours + 1) % 24;
        }
    }
    if (expected.dropFrame && expected.seconds == 0 && expected.minutes % 10 != 0) {
        expected.frames = 2;
    }
    return next == expected;
}

} // namespace tavix
