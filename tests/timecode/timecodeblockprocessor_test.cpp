#include "timecode/timecodeblockprocessor.h"

#include "ltcsignal.h"
#include "model/clockmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace tavix;
using test::makeLtc;

namespace {

constexpr std::uint32_t kProcessorBlock = 1024;

using tc = DecodedTimecode;

std::string text(const DecodedTimecode& t) {
    return QString::asprintf("%02d:%02d:%02d%c%02d", t.hours, t.minutes, t.seconds, t.dropFrame ? ';' : ':',
                             t.frames)
        .toStdString();
}

/// What the clock would have shown, block by block.
struct Fed {
    std::vector<TimecodeBlockResult> blocks;
    /// Every new time shown, in order.
    std::vector<DecodedTimecode> shown;
    /// Samples fed when the first of `expected` was shown; none if it never was.
    std::optional<std::size_t> firstShownAfter;

    int firstLiveBlock() const {
        const auto it =
            std::find_if(blocks.begin(), blocks.end(), [](const auto& b) { return b.hasLiveTimecode; });
        return it == blocks.end() ? -1 : int(it - blocks.begin());
    }
};

/// Feeds mono samples in capture-sized blocks; `before` is what the clock showed until then.
Fed feed(TimecodeBlockProcessor& processor, const std::vector<float>& samples, double rate, double fps,
         const std::vector<DecodedTimecode>& expected = {}, std::optional<DecodedTimecode> before = {}) {
    Fed fed;
    std::optional<DecodedTimecode> last = before;
    for (std::size_t offset = 0; offset + kProcessorBlock <= samples.size(); offset += kProcessorBlock) {
        const TimecodeBlockResult result =
            processor.process(samples.data() + offset, kProcessorBlock, 1, rate, 0, fps);
        if (result.time && result.time != last) {
            last = result.time;
            fed.shown.push_back(*result.time);
            if (!fed.firstShownAfter &&
                std::find(expected.begin(), expected.end(), *last) != expected.end()) {
                fed.firstShownAfter = offset + kProcessorBlock;
            }
        }
        fed.blocks.push_back(result);
    }
    return fed;
}

/// Every shown time is one that was sent.
::testing::AssertionResult onlySent(const Fed& fed, const std::vector<DecodedTimecode>& a,
                                    const std::vector<DecodedTimecode>& b = {}) {
    for (const DecodedTimecode& t : fed.shown) {
        if (std::find(a.begin(), a.end(), t) == a.end() && std::find(b.begin(), b.end(), t) == b.end()) {
            return ::testing::AssertionFailure() << "showed " << text(t);
        }
    }
    return ::testing::AssertionSuccess();
}

TimecodeValidator::Frame frame(DecodedTimecode time, std::int64_t end, bool reverse = false) {
    // 24 samples per bit: 25 fps at 48 kHz, frames 1920 samples long.
    return TimecodeValidator::Frame{time, true, reverse, end, 24, 0.01};
}

} // namespace

TEST(TimecodeValidator, KnowsWhichFrameComesNextAndWhichTimesCannotExist) {
    // The previous frame, the next, played backwards, frames per second (0: not known), continues.
    const std::vector<std::tuple<DecodedTimecode, DecodedTimecode, bool, int, bool>> next = {
        {tc{10, 0, 0, 5}, tc{10, 0, 0, 6}, false, 0, true},
        {tc{10, 0, 0, 5}, tc{10, 0, 0, 7}, false, 0, false},
        {tc{10, 0, 0, 24}, tc{10, 0, 1, 0}, false, 25, true},
        {tc{10, 0, 0, 24}, tc{10, 0, 1, 0}, false, 30, false},
        {tc{10, 0, 0, 29}, tc{10, 0, 1, 0}, false, 0, true},
        {tc{10, 0, 0, 27}, tc{10, 0, 1, 0}, false, 0, false},
        {tc{10, 59, 59, 24}, tc{11, 0, 0, 0}, false, 25, true},
        {tc{23, 59, 59, 29}, tc{0, 0, 0, 0}, false, 30, true},
        {tc{10, 0, 59, 29, true}, tc{10, 1, 0, 2, true}, false, 30, true},
        {tc{10, 0, 59, 29, true}, tc{10, 1, 0, 0, true}, false, 30, false},
        {tc{10, 9, 59, 29, true}, tc{10, 10, 0, 0, true}, false, 30, true},
        {tc{10, 0, 0, 5}, tc{10, 0, 0, 6, true}, false, 0, false},
        {tc{10, 0, 1, 0}, tc{10, 0, 0, 24}, true, 25, true},
        {tc{10, 0, 1, 0}, tc{10, 0, 0, 24}, false, 25, false}};
    for (const auto& [previous, following, reverse, frameCount, continues] : next) {
        EXPECT_EQ(TimecodeValidator::continues(previous, following, reverse, frameCount), continues)
            << text(previous) << " -> " << text(following);
    }
    const std::vector<std::tuple<DecodedTimecode, int, bool>> possible = {
        {tc{1, 49, 60, 11}, 0, false},      {tc{15, 20, 60, 24}, 25, false},
        {tc{24, 0, 0, 0}, 0, false},        {tc{10, 60, 0, 0}, 0, false},
        {tc{23, 59, 59, 29}, 0, true},      {tc{10, 0, 0, 25}, 25, false},
        {tc{10, 0, 0, 25}, 30, true},       {tc{10, 0, 0, 30}, 0, false},
        {tc{10, 1, 0, 0, true}, 30, false}, {tc{10, 1, 0, 2, true}, 30, true},
        {tc{10, 10, 0, 0, true}, 30, true}};
    for (const auto& [time, frameCount, isPossible] : possible) {
        EXPECT_EQ(TimecodeValidator::isPossible(time, frameCount), isPossible)
            << text(time) << " " << frameCount;
    }
}

TEST(TimecodeValidator, AJumpIsShownWhenTheNextFrameContinuesItOneFrameLengthLater) {
    constexpr std::int64_t L = 1920;
    struct Step {
        TimecodeValidator::Frame frame;
        bool shown;
    };
    std::vector<Step> steps = {{frame(tc{10, 0, 0, 0}, L), false}}; // nothing before it: a jump
    for (int f = 1; f < 10; ++f) {
        steps.push_back({frame(tc{10, 0, 0, f}, (f + 1) * L), true});
    }
    const std::vector<Step> cases = {
        {frame(tc{10, 0, 60, 10}, 10 * L + 900), false}, // impossible: ignored
        {frame(tc{10, 0, 0, 10}, 11 * L), true},
        {frame(tc{3, 0, 0, 11}, 12 * L), false},  // a bit error in the hours ...
        {frame(tc{10, 0, 0, 12}, 13 * L), false}, // ... so this one needs the next
        {frame(tc{10, 0, 0, 13}, 14 * L), true},
        {frame(tc{11, 0, 0, 0}, 15 * L), false}, // a real jump ...
        {frame(tc{11, 0, 0, 1}, 16 * L), true},  // ... confirmed
        {frame(tc{12, 0, 0, 0}, 17 * L), false},
        {frame(tc{12, 0, 0, 1}, 17 * L + L / 2), false}, // half a frame later: not the frame after it
        {frame(tc{12, 0, 0, 2}, 18 * L + L / 2), true},
        {frame(tc{12, 0, 0, 1}, 19 * L + L / 2, true), true}, // played backwards
    };
    steps.insert(steps.end(), cases.begin(), cases.end());
    // Frames that never continue each other, as when two streams share the channel: even a pair that
    // looks right is not trusted until the signal is steady again.
    for (int k = 0; k < 20; ++k) {
        steps.push_back({frame(k % 2 ? tc{13, 0, 0, k} : tc{14, 1, 0, k}, (21 + k) * L), false});
    }
    steps.push_back({frame(tc{15, 0, 0, 0}, 41 * L), false});
    steps.push_back({frame(tc{15, 0, 0, 1}, 42 * L), false});

    TimecodeValidator validator;
    validator.beginStream(48000);
    for (const Step& step : steps) {
        EXPECT_EQ(validator.offer(step.frame), step.shown)
            << text(step.frame.time) << " at " << step.frame.endSample;
    }
    EXPECT_EQ(validator.shown(), (tc{12, 0, 0, 1}));
    EXPECT_GT(validator.takeRejectedCount(), 20);
    EXPECT_LT(validator.quality(), TimecodeValidator::kMinimumQuality);
    // A new capture keeps the time on show but needs two frames again.
    validator.beginStream(48000);
    EXPECT_FALSE(validator.isArriving(0, 25));
    EXPECT_FALSE(validator.offer(frame(tc{12, 0, 0, 0}, L, true)));
    EXPECT_TRUE(validator.offer(frame(tc{11, 59, 59, 24}, 2 * L, true)));
    EXPECT_TRUE(validator.isArriving(2 * L + 10 * L, 25));
    EXPECT_FALSE(validator.isArriving(2 * L + 10 * L + 1, 25));
}

TEST(TimecodeBlockProcessor, WeakLtcIsRaisedAndReadDownToMinus48Dbfs) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        for (const TimecodeFrameRate frameRate :
             {TimecodeFrameRate::fps23_976, TimecodeFrameRate::fps25, TimecodeFrameRate::fps29_97DF}) {
            for (const double dbfs : {-6.0, -48.0}) {
                SCOPED_TRACE(::testing::Message() << rate << " Hz " << rawValue(frameRate).toStdString()
                                                  << " " << dbfs << " dBFS");
                const auto ltc = makeLtc(rate, frameRate, tc{10, 0, 59, 0}, 100, dbfs);
                // Over the noise floor of a good line input.
                const auto samples = test::mixed(ltc.samples, test::whiteNoise(ltc.samples.size(), -90));
                TimecodeBlockProcessor processor;
                const Fed fed = feed(processor, samples, rate, framesPerSecond(frameRate), ltc.frames);
                EXPECT_TRUE(onlySent(fed, ltc.frames));
                EXPECT_GE(fed.shown.size(), ltc.frames.size() - 4);
                EXPECT_LE(fed.firstShownAfter.value_or(samples.size()),
                          3 * rate / framesPerSecond(frameRate) + kProcessorBlock);
                EXPECT_EQ(processor.gain() > 1, dbfs < -6);
            }
        }
    }
    // A weak signal that turns loud at once is not driven into clipping: the block that brings the
    // loud peak is taken at that peak's gain.
    TimecodeBlockProcessor processor;
    const auto weak = makeLtc(48000, 25.0, tc{1, 0, 0, 0}, 50, -48);
    feed(processor, weak.samples, 48000, 25);
    ASSERT_GT(processor.gain(), 100);
    const auto loud = makeLtc(48000, 25.0, tc{1, 0, 2, 0}, 5, -1);
    processor.process(loud.samples.data(), kProcessorBlock, 1, 48000, 0, 25);
    EXPECT_EQ(processor.gain(), 1.0f);
}

TEST(TimecodeBlockProcessor, NoiseHumAndMixedStreamsShowNothingWrong) {
    const double rate = 48000;
    // No timecode at all: a minute of noise or hum shows nothing and never counts as timecode.
    for (const auto& input : {test::whiteNoise(std::size_t(rate * 60), -20, 11),
                              test::hum(std::size_t(rate * 60), rate, 50, -20)}) {
        for (const double fps : {25.0, 30.0}) {
            TimecodeBlockProcessor processor;
            const Fed fed = feed(processor, input, rate, fps);
            EXPECT_TRUE(fed.shown.empty()) << fps << " showed " << text(fed.shown.front());
            EXPECT_EQ(fed.firstLiveBlock(), -1);
            // A signal that is not LTC is worth one line a minute.
            EXPECT_EQ(std::count_if(fed.blocks.begin(), fed.blocks.end(),
                                    [](auto& b) { return b.unreadableSignal; }),
                      1);
        }
    }

    // LTC under noise, and two streams on one channel (equal, or one 3 dB down, at several offsets):
    // whatever is shown was sent, and the rejections are told.
    for (const TimecodeFrameRate frameRate : {TimecodeFrameRate::fps25, TimecodeFrameRate::fps29_97DF}) {
        const double fps = framesPerSecond(frameRate);
        const auto a = makeLtc(rate, frameRate, tc{1, 49, 58, 0}, int(fps * 30));
        {
            TimecodeBlockProcessor processor;
            const auto noisy = test::mixed(a.samples, test::whiteNoise(a.samples.size(), -12, 5));
            EXPECT_TRUE(onlySent(feed(processor, noisy, rate, fps), a.frames));
        }
        bool told = false;
        for (const double relative : {0.0, -3.0}) {
            const auto b = makeLtc(rate, frameRate, tc{15, 20, 58, 3}, int(fps * 31), -6 + relative);
            for (const std::size_t offset : {0, 37, 300, 700}) {
                TimecodeBlockProcessor processor;
                const Fed fed = feed(processor, test::mixed(a.samples, b.samples, offset), rate, fps);
                EXPECT_TRUE(onlySent(fed, a.frames, b.frames))
                    << rawValue(frameRate).toStdString() << " " << relative << " dB at " << offset;
                told |= std::any_of(fed.blocks.begin(), fed.blocks.end(), [](auto& block) {
                    return block.rejectedFrames > 0 || block.unreadableSignal;
                });
            }
        }
        EXPECT_TRUE(told);
    }
}

TEST(TimecodeBlockProcessor, NoLtcTenFramesAfterTheSignalStopsAndLiveAgainWithinTwoFrames) {
    for (const TimecodeFrameRate frameRate :
         {TimecodeFrameRate::fps23_976, TimecodeFrameRate::fps25, TimecodeFrameRate::fps29_97DF}) {
        const double rate = 48000;
        const double fps = framesPerSecond(frameRate);
        const double period = rate / fps;
        SCOPED_TRACE(rawValue(frameRate).toStdString());
        // A source that runs on, cut off for a second after 2 s (on a block boundary) and back: over
        // a minute boundary, where drop-frame counting leaves numbers out.
        auto ltc = makeLtc(rate, frameRate, tc{10, 0, 57, 15}, int(4 * fps));
        const auto cutAt = std::size_t(2 * rate) / kProcessorBlock * kProcessorBlock;
        std::fill(ltc.samples.begin() + std::ptrdiff_t(cutAt),
                  ltc.samples.begin() + std::ptrdiff_t(cutAt + rate), 0.0f);
        TimecodeBlockProcessor processor;
        const Fed fed = feed(processor, ltc.samples, rate, fps, ltc.frames);
        const auto block = [](std::size_t sample) { return int(sample / kProcessorBlock); };
        // Never decoded before: live with the second frame the decoder completes (locking on may
        // cost it the first one).
        EXPECT_LE(fed.firstLiveBlock(), block(std::size_t(3 * period)));
        EXPECT_TRUE(fed.blocks[std::size_t(block(cutAt) - 1)].hasLiveTimecode);

        // Lost once 10 frame periods have passed since the last frame ended (up to one period before
        // the cut), at the end of the block in which they did.
        int lost = block(cutAt);
        while (fed.blocks[std::size_t(lost)].hasLiveTimecode) {
            ++lost;
        }
        EXPECT_GE((lost + 1) * double(kProcessorBlock) - double(cutAt), 9 * period);
        EXPECT_LE((lost + 1) * double(kProcessorBlock) - double(cutAt), 10 * period + kProcessorBlock);
        const auto back = std::size_t(cutAt + rate);
        for (int b = lost; b < block(back); ++b) {
            EXPECT_FALSE(fed.blocks[std::size_t(b)].hasLiveTimecode);
            EXPECT_EQ(fed.blocks[std::size_t(b)].time, fed.blocks[std::size_t(lost)].time);
        }
        // Back: the first whole frame is the one the running source should send now, so it shows at
        // once, within two frame periods of the signal's return.
        int live = block(back);
        while (!fed.blocks[std::size_t(live)].hasLiveTimecode) {
            ++live;
        }
        EXPECT_LE((live + 1) * double(kProcessorBlock) - double(back), 2 * period + kProcessorBlock);
        EXPECT_TRUE(onlySent(fed, ltc.frames));

        // A source that comes back elsewhere is a jump: shown once the next frame confirms it.
        const auto before = fed.blocks.back().time;
        feed(processor, std::vector<float>(std::size_t(rate), 0.0f), rate, fps, {}, before);
        const auto elsewhere = makeLtc(rate, frameRate, tc{11, 0, 0, 0}, int(fps));
        const Fed jumped = feed(processor, elsewhere.samples, rate, fps, elsewhere.frames, before);
        EXPECT_LE(jumped.firstLiveBlock(), block(std::size_t(3 * period)));
        EXPECT_TRUE(onlySent(jumped, elsewhere.frames));
    }
}

TEST(TimecodeBlockProcessor, MeasuresTheFrameRateAgainstTheSampleClockWithinTwoSeconds) {
    for (const double rate : {44100.0, 48000.0}) {
        for (const TimecodeFrameRate frameRate : allTimecodeFrameRates()) {
            SCOPED_TRACE(::testing::Message() << rate << " Hz " << rawValue(frameRate).toStdString());
            const double fps = framesPerSecond(frameRate);
            const auto ltc = makeLtc(rate, frameRate, tc{10, 0, 57, 0}, int(fps * 5), -20);
            // The clock is set to another rate: the decoder follows the signal, and so does the measure.
            const double chosen = frameRate == TimecodeFrameRate::fps25 ? 30 : 25;
            TimecodeBlockProcessor processor;
            const Fed fed = feed(
                processor, test::mixed(ltc.samples, test::whiteNoise(ltc.samples.size(), -50)), rate, chosen);
            const auto detected = [&fed](std::size_t block) {
                const TimecodeBlockResult& b = fed.blocks[block];
                return b.time ? classifyFrameRate(b.measuredFramesPerSecond, b.time->dropFrame)
                              : std::nullopt;
            };
            const auto firstRight = std::size_t(2 * rate / kProcessorBlock);
            for (std::size_t block = firstRight; block < fed.blocks.size(); ++block) {
                ASSERT_EQ(detected(block), frameRate)
                    << "after " << double(block * kProcessorBlock) / rate << " s";
            }
            // Never a wrong rate while measuring.
            for (std::size_t block = 0; block < firstRight; ++block) {
                EXPECT_TRUE(!detected(block) || detected(block) == frameRate);
            }
        }
    }
    EXPECT_EQ(classifyFrameRate(29.985, false), std::nullopt);
    EXPECT_EQ(classifyFrameRate(30.0, true), TimecodeFrameRate::fps30);
}
