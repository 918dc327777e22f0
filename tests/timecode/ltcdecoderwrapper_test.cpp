#include "timecode/ltcdecoderwrapper.h"

#include "ltcsignal.h"
#include "model/clockmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tavix;
using tavix::test::makeLtc;

namespace {

constexpr std::size_t kBlock = 1024;

struct Fed {
    std::vector<DecodedTimecode> seen; ///< every new time, in order
    std::size_t firstAfter =
        std::numeric_limits<std::size_t>::max(); ///< samples fed when one of `sent` showed
};

/// Feeds `signal` in capture-sized blocks.
Fed feed(LTCDecoderWrapper& decoder, const test::LtcSignal& signal, double rate, double fps) {
    Fed fed;
    const auto& samples = signal.samples;
    for (std::size_t offset = 0; offset < samples.size(); offset += kBlock) {
        const std::size_t n = std::min(kBlock, samples.size() - offset);
        const auto before = decoder.lastDecoded();
        decoder.decode(samples.data() + offset, n, rate, fps);
        if (decoder.lastDecoded() && decoder.lastDecoded() != before) {
            fed.seen.push_back(*decoder.lastDecoded());
            if (std::find(signal.frames.begin(), signal.frames.end(), fed.seen.back()) !=
                signal.frames.end()) {
                fed.firstAfter = std::min(fed.firstAfter, offset + n);
            }
        }
    }
    return fed;
}

Fed feed(LTCDecoderWrapper& decoder, const std::vector<float>& samples, double rate, double fps) {
    return feed(decoder, test::LtcSignal{samples, {}}, rate, fps);
}

/// True when `seen` runs through consecutive frames of `sent`. One frame may come first: the last
/// frame of an earlier signal, which the first edge after a pause completes.
bool followsSignal(std::vector<DecodedTimecode> seen, const std::vector<DecodedTimecode>& sent) {
    if (!seen.empty() && std::find(sent.begin(), sent.end(), seen.front()) == sent.end()) {
        seen.erase(seen.begin());
    }
    if (seen.empty()) {
        return false;
    }
    const auto first = std::find(sent.begin(), sent.end(), seen.front());
    return first != sent.end() && std::size_t(sent.end() - first) >= seen.size() &&
           std::equal(seen.begin(), seen.end(), first);
}

} // namespace

TEST(LTCDecoderWrapper, AudioFramesPerVideoFrameRoundHalfAwayFromZeroOrHaveNone) {
    const std::vector<std::tuple<double, double, std::optional<std::int32_t>>> cases = {
        {48000, 25, 1920},        {48000, 29.97, 1602},
        {48000, 23.976, 2002},    {44100, 24, 1838},
        {44100, 29.97, 1471},     {48000, 30, 1600},
        {48000, 0, std::nullopt}, {std::nan(""), 25, std::nullopt},
        {1e12, 1, std::nullopt},  {48000, -25, std::nullopt},
        {0, 25, std::nullopt},
    };
    for (const auto& [rate, fps, apv] : cases) {
        EXPECT_EQ(LTCDecoderWrapper::audioFramesPerVideoFrame(rate, fps), apv) << rate << " / " << fps;
    }
    LTCDecoderWrapper decoder;
    const std::vector<float> block(kBlock, 0.5f);
    decoder.decode(block.data(), block.size(), 48000, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(decoder.hasDecoder());
    EXPECT_EQ(decoder.runningSamplePos(), 0);
}

TEST(LTCDecoderWrapper, MakesTheDecoderAnewOnlyWhenRateOrFrameRateChange) {
    // A new decoder shows as the running position starting again from the block's length.
    struct Step {
        double rate;
        TimecodeFrameRate frameRate;
        std::size_t length;
        std::int32_t apv;
        std::int64_t position;
    };
    const std::vector<Step> steps = {
        {48000, TimecodeFrameRate::fps25, 1000, 1920, 1000},
        {48000, TimecodeFrameRate::fps25, 24, 1920, 1024},
        {48000, TimecodeFrameRate::fps29_97, 100, 1602, 100},
        {48000, TimecodeFrameRate::fps29_97DF, 100, 1602, 200},
        {44100, TimecodeFrameRate::fps24, 10, 1838, 10},
        {48000, TimecodeFrameRate::fps30, 10, 1600, 10},
    };
    LTCDecoderWrapper decoder;
    for (const Step& s : steps) {
        const std::vector<float> silence(s.length, 0.0f);
        decoder.decode(silence.data(), silence.size(), s.rate, framesPerSecond(s.frameRate));
        EXPECT_TRUE(decoder.hasDecoder());
        EXPECT_EQ(decoder.lastAPV(), s.apv);
        EXPECT_EQ(decoder.runningSamplePos(), s.position) << s.rate << " " << s.apv;
    }
}

TEST(LTCDecoderWrapper, LocksOnWithinThreeFramesAtEveryRateAndLevelAlsoAfterSilence) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        for (const TimecodeFrameRate frameRate : allTimecodeFrameRates()) {
            for (const double dbfs : {-1.0, -30.0}) {
                const double fps = framesPerSecond(frameRate);
                const double apv = rate / fps;
                const std::string label = std::to_string(int(rate)) + " Hz " +
                                          rawValue(frameRate).toStdString() + " " +
                                          std::to_string(int(dbfs)) + " dBFS";
                LTCDecoderWrapper decoder;
                const std::vector<float> silence(std::size_t(rate * 10), 0.0f);
                // Starting on a block boundary makes lock-on time a count of samples since LTC began.
                EXPECT_TRUE(feed(decoder, silence, rate, fps).seen.empty());
                const auto first = makeLtc(rate, fps, {10, 0, 59, 20}, 60, dbfs);
                const Fed fed = feed(decoder, first, rate, fps);
                EXPECT_LE(fed.firstAfter, 3 * apv) << label;
                EXPECT_TRUE(followsSignal(fed.seen, first.frames)) << label;

                // Ten seconds of silence keep the last time; the next LTC locks on as fast.
                const auto kept = decoder.lastDecoded();
                feed(decoder, silence, rate, fps);
                EXPECT_EQ(decoder.lastDecoded(), kept) << label;
                const auto second = makeLtc(rate, fps, {1, 2, 3, 4}, 30, dbfs);
                const Fed again = feed(decoder, second, rate, fps);
                EXPECT_LE(again.firstAfter, 3 * apv) << label;
                EXPECT_TRUE(followsSignal(again.seen, second.frames)) << label;
            }
        }
    }
}

TEST(LTCDecoderWrapper, AFrameRateChangeKeepsTheLastTimeUntilANewFrameArrives) {
    LTCDecoderWrapper decoder;
    const auto at25 = makeLtc(48000, 25, {10, 0, 0, 0}, 20);
    feed(decoder, at25, 48000, 25);
    const auto last25 = decoder.lastDecoded();
    ASSERT_TRUE(last25);
    const std::vector<float> silence(4800, 0.0f);
    feed(decoder, silence, 48000, 30);
    EXPECT_EQ(decoder.lastAPV(), 1600);
    EXPECT_EQ(decoder.lastDecoded(), last25);
    const auto at30 = makeLtc(48000, 30, {20, 0, 0, 0}, 20);
    EXPECT_TRUE(followsSignal(feed(decoder, at30, 48000, 30).seen, at30.frames));
}

TEST(LTCDecoderWrapper, DamagedButRealLtcDecodesWithItsFlagsAndSteadyBitTiming) {
    // libltc works on zero crossings: an offset is fine as long as the signal still crosses zero.
    auto withOffset = makeLtc(48000, 25, {5, 6, 7, 8}, 25, -6);
    for (float& s : withOffset.samples) {
        s += 0.2f;
    }
    auto clipped = makeLtc(48000, 25, {5, 6, 7, 8}, 25, 0);
    for (float& s : clipped.samples) {
        s = std::clamp(s * 8.0f, -1.0f, 1.0f);
    }
    const auto dropFrame = makeLtc(48000, TimecodeFrameRate::fps29_97DF, {5, 6, 59, 28}, 25);
    for (const test::LtcSignal* signal :
         std::initializer_list<const test::LtcSignal*>{&withOffset, &clipped, &dropFrame}) {
        LTCDecoderWrapper decoder;
        const double fps = signal == &dropFrame ? 29.97 : 25;
        EXPECT_TRUE(followsSignal(feed(decoder, *signal, 48000, fps).seen, signal->frames));
        EXPECT_EQ(decoder.lastDecoded()->dropFrame, signal == &dropFrame);
    }
    // Each frame's place and bit timing, as the checks downstream use them.
    LTCDecoderWrapper decoder;
    const std::vector<float> block(withOffset.samples.begin(), withOffset.samples.begin() + 1920 * 3 + 200);
    decoder.decode(block.data(), block.size(), 48000, 25);
    ASSERT_FALSE(decoder.frames().empty());
    const DecodedFrame& last = decoder.frames().back();
    EXPECT_NEAR(double(last.endOffset), 1920 * 3, 48);
    EXPECT_NEAR(last.bitCellSamples, 24, 0.1);
    EXPECT_LT(last.bitTimingSpread, 0.05);
    EXPECT_TRUE(last.wellFormed);
}
