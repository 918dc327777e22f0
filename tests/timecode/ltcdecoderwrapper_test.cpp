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

/// Feeds `samples` in capture-sized blocks and returns every new time decoded, in order.
std::vector<DecodedTimecode> feed(LTCDecoderWrapper& decoder, const std::vector<float>& samples, double rate,
                                  double fps) {
    std::vector<DecodedTimecode> seen;
    for (std::size_t offset = 0; offset < samples.size(); offset += kBlock) {
        const auto before = decoder.lastDecoded();
        decoder.decode(samples.data() + offset, std::min(kBlock, samples.size() - offset), rate, fps);
        if (decoder.lastDecoded() && decoder.lastDecoded() != before) {
            seen.push_back(*decoder.lastDecoded());
        }
    }
    return seen;
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
        {48000, 25, 1920},      {48000, 29.97, 1602},
        {44100, 24, 1838}, // 1837.5
        {44100, 29.97, 1471},   {48000, 0, std::nullopt},
        {0, 25, std::nullopt},  {std::nan(""), 25, std::nullopt},
        {1e12, 1, std::nullopt}};
    for (const auto& [rate, fps, apv] : cases) {
        EXPECT_EQ(LTCDecoderWrapper::audioFramesPerVideoFrame(rate, fps), apv) << rate << " / " << fps;
    }
    LTCDecoderWrapper decoder;
    const std::vector<float> block(kBlock, 0.5f);
    decoder.decode(block.data(), block.size(), 48000, std::numeric_limits<double>::infinity());
    EXPECT_EQ(std::tuple(decoder.hasDecoder(), decoder.runningSamplePos()), std::tuple(false, 0));
}

TEST(LTCDecoderWrapper, AFrameRateChangeKeepsTheLastTimeUntilANewFrameArrives) {
    LTCDecoderWrapper decoder;
    const auto at25 = makeLtc(48000, 25, {10, 0, 0, 0}, 20);
    feed(decoder, at25.samples, 48000, 25);
    const auto last25 = decoder.lastDecoded();
    ASSERT_TRUE(last25);
    const std::vector<float> silence(4800, 0.0f);
    feed(decoder, silence, 48000, 30);
    EXPECT_EQ(std::tuple(decoder.lastAPV(), decoder.lastDecoded()), std::tuple(1600, last25));
    const auto at30 = makeLtc(48000, 30, {20, 0, 0, 0}, 20);
    EXPECT_TRUE(followsSignal(feed(decoder, at30.samples, 48000, 30), at30.frames));
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
        EXPECT_TRUE(followsSignal(feed(decoder, signal->samples, 48000, fps), signal->frames));
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
