// The hand-over of captured blocks from the audio thread to the timecode queue: the time the
// capture callback takes on the audio thread, the delay until the block handler starts on the
// queue, and what the audio thread allocates. 48 kHz stereo 1024-frame blocks from the scripted
// backend, one every 200 µs (a hundred times the pace of a real device, so that the run is short;
// at that pace the 16-block ring holds 3.2 ms, against 340 ms at a device's pace). Usage:
// tavix_handover_bench [pace in µs, default 200] [blocks, default 20000].
#include "allocationcounter.h"
#include "platform/capturequeue.h"
#include "scriptedaudiobackend.h"
#include "timecode/audioinputdevicemanager.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace tavix;
using Clock = std::chrono::steady_clock;

namespace {

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[std::size_t(q * double(values.size() - 1))];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int kBlocks = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;
    const auto kPace = std::chrono::microseconds(argc > 1 ? std::max(0, std::atoi(argv[1])) : 200);

    test::ScriptedAudioBackend audio;
    audio.setDevices({{73, QStringLiteral("Line In"), 2}});
    // The block carries the time it was read, for the handler to measure the delay.
    audio.setSampleSource([](std::uint64_t, std::uint32_t, std::uint32_t, float* out) {
        const std::int64_t t = nowNs();
        std::memcpy(out, &t, sizeof t);
    });
    std::vector<double> callbackUs;
    callbackUs.reserve(kBlocks);
    Clock::time_point started;
    audio.setCallbackHooks(
        [&] {
            started = Clock::now();
            test::countAllocationsOnThisThread(true);
        },
        [&] {
            test::countAllocationsOnThisThread(false);
            callbackUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - started).count());
            while (Clock::now() - started < kPace) {
            }
        });

    std::vector<double> delayUs; // queue thread only until sync()
    delayUs.reserve(kBlocks);
    auto queue = std::make_shared<CaptureQueue>("bench.handover");
    AudioInputDeviceManager capture(audio);
    std::fprintf(stderr, "capture start:\n");
    capture.startCapture(73, queue,
                         [&](const std::vector<float>& samples, std::uint32_t, std::uint32_t, double) {
                             std::int64_t t = 0;
                             std::memcpy(&t, samples.data(), sizeof t);
                             delayUs.push_back(double(nowNs() - t) / 1000.0);
                         });
    audio.deliverCallbacks(std::vector<std::uint32_t>(kBlocks, 1024));
    queue->sync([] {});
    const std::uint64_t dropped = capture.droppedBlocks();
    capture.stop();

    std::printf("block hand-over, %d blocks of 1024 stereo frames, one every %lld us: audio thread per "
                "callback median %.2f us, p99 %.2f us, max %.2f us; callback to handler median %.2f us, "
                "p99 %.2f us, max %.2f us; %.2f allocations per callback on the audio thread; %llu dropped\n",
                kBlocks, static_cast<long long>(kPace.count()), quantile(callbackUs, 0.5),
                quantile(callbackUs, 0.99), *std::max_element(callbackUs.begin(), callbackUs.end()),
                quantile(delayUs, 0.5), quantile(delayUs, 0.99),
                *std::max_element(delayUs.begin(), delayUs.end()),
                double(test::countedAllocations()) / kBlocks, static_cast<unsigned long long>(dropped));
    return 0;
}
