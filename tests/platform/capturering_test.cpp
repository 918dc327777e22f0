#include "platform/capturequeue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace tavix;

TEST(CaptureRing, AFullRingDropsWholeBlocksAndCountsThem) {
    Doorbell doorbell;
    CaptureRing ring(4, 8, doorbell);
    for (std::uint32_t i = 0; i < 4; ++i) {
        float* slot = ring.claim();
        ASSERT_NE(slot, nullptr);
        slot[0] = float(i);
        ring.publish(CapturedBlockHeader{i, 1, 48000, {}});
    }
    EXPECT_EQ(ring.claim(), nullptr);
    EXPECT_EQ(ring.droppedBlocks(), 1u);

    const float* samples = nullptr;
    ASSERT_NE(ring.front(samples), nullptr);
    EXPECT_EQ(samples[0], 0.0f);
    ring.pop();
    // The freed slot takes the next block; the others come out in the order they went in.
    ASSERT_NE(ring.claim(), nullptr);
    ring.publish(CapturedBlockHeader{4, 1, 48000, {}});
    std::vector<std::uint32_t> order;
    while (const CapturedBlockHeader* block = ring.front(samples)) {
        order.push_back(block->frameCount);
        ring.pop();
    }
    EXPECT_EQ(order, (std::vector<std::uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(ring.droppedBlocks(), 1u);
}

// Two captures one after the other, as a restart makes them, each from its own producer thread:
// every block arrives once, whole and in order, the second capture's after all of the first's, and
// a sync() sees every block published before it.
TEST(CaptureQueue, BlocksArriveWholeInOrderAndARestartNeverOverlapsTheCaptureBefore) {
    constexpr std::uint64_t kBlocks = 20000;
    constexpr std::size_t kSamples = 64;
    CaptureQueue queue("Test.Capture");
    std::vector<std::pair<int, std::uint64_t>> received; // capture, block; queue thread only
    bool torn = false;
    std::uint64_t dropped = 0;
    for (int capture = 0; capture < 2; ++capture) {
        auto ring = std::make_shared<CaptureRing>(4, kSamples, queue.doorbell());
        queue.attach(ring, [&, capture](CaptureRing& r) {
            const float* samples = nullptr;
            while (const CapturedBlockHeader* block = r.front(samples)) {
                const std::uint64_t sequence = block->time.framePosition;
                for (std::size_t i = 0; i < kSamples; ++i) {
                    torn = torn || samples[i] != float(sequence % 1000);
                }
                received.emplace_back(capture, sequence);
                r.pop();
            }
        });
        std::thread producer([&ring] {
            for (std::uint64_t sequence = 0; sequence < kBlocks; ++sequence) {
                if (float* slot = ring->claim()) {
                    std::fill(slot, slot + kSamples, float(sequence % 1000));
                    CapturedBlockHeader header{1, 1, 48000, {}};
                    header.time.framePosition = sequence;
                    ring->publish(header);
                }
            }
        });
        producer.join();
        std::uint64_t seen = 0;
        queue.sync([&] { seen = received.size(); });
        dropped += ring->droppedBlocks();
        EXPECT_EQ(seen + dropped, kBlocks * std::uint64_t(capture + 1));
        ring->close();
    }
    queue.sync([] {});
    EXPECT_FALSE(torn);
    ASSERT_FALSE(received.empty());
    for (std::size_t i = 1; i < received.size(); ++i) {
        EXPECT_LT(received[i - 1], received[i]) << i; // by capture, then by sequence: no repeat, no reorder
    }
}
