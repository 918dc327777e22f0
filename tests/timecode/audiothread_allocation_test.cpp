// A binary of its own: it links the counting operator new.
#include "allocationcounter.h"
#include "platform/capturequeue.h"
#include "scriptedaudiobackend.h"
#include "testsupport.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(AudioThread, CaptureCallbacksNeitherAllocateNorLoseBlocksWhileTheDecoderKeepsUp) {
    test::ScriptedAudioBackend audio;
    audio.setDevices({{73, u"Line In"_s, 2, 48000, test::lineInPort()}});
    audio.setSampleSource([](std::uint64_t first, std::uint32_t frames, std::uint32_t channels, float* out) {
        for (std::uint32_t i = 0; i < frames * channels; ++i) {
            out[i] = float((first + i) % 100) / 100.0f;
        }
    });
    // The hooks run on the delivering thread around each callback: count only inside them.
    audio.setCallbackHooks([] { test::countAllocationsOnThisThread(true); },
                           [] { test::countAllocationsOnThisThread(false); });
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&audio, &runtime, {TimecodeFrameRate::fps25, u"73"_s, 0});
    test::capturedStdoutLines([&] {
        test::startSettled(manager);
        ASSERT_TRUE(test::waitUntil([&] { return manager.isCapturing(); }));
        // The first callback of a capture included, whose line is printed by the queue instead.
        for (int round = 0; round < 20; ++round) {
            ASSERT_TRUE(audio.deliverCallbacks(std::vector<std::uint32_t>(8, 1024)));
            manager.waitForPendingBlocks();
        }
    });
    EXPECT_EQ(test::countedAllocations(), 0);
    ASSERT_NE(manager.inputManager(), nullptr);
    EXPECT_EQ(manager.inputManager()->deliveredBlocks(), 160u);
    EXPECT_EQ(manager.inputManager()->droppedBlocks(), 0u);
    EXPECT_GT(runtime.level(), 0.0f);
    test::capturedStdoutLines([&] { manager.stop(); });
}
