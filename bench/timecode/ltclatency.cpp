// End-to-end LTC latency: from the last sample of an LTC frame entering the sound server to the
// runtime showing that frame. Plays 30 fps LTC into the null sink "ltcout" through a low-latency
// playback stream, paced by the server, and captures its monitor through the real capture path.
// Run it with bench/timecode/ltc_latency.sh (a private daemon from tests/support/with-pulse.sh).
#include "ltcsignal.h"
#include "platform/pulseaudiobackend.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <pulse/error.h>
#include <pulse/simple.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

using namespace tavix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 48000;
constexpr double kFps = 30;
constexpr int kSeconds = 20;
constexpr std::size_t kChunkFrames = 128;

int key(const DecodedTimecode& t) {
    return ((t.hours * 60 + t.minutes) * 60 + t.seconds) * 100 + t.frames;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const test::LtcSignal signal = test::makeLtc(kRate, kFps, {1, 0, 0, 0}, int(kFps) * kSeconds, -6);
    // The sample index just after each frame's last sample.
    std::vector<std::size_t> frameEnds;
    for (std::size_t i = 1; i <= signal.frames.size(); ++i) {
        frameEnds.push_back(std::size_t(std::llround(double(i) * kRate / kFps)));
    }
    frameEnds.back() = std::min(frameEnds.back(), signal.samples.size());

    PulseAudioBackend audio;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&audio, &runtime,
                                 {TimecodeFrameRate::fps30,
                                  QString::number(PulseAudioBackend::deviceIdForSourceName("ltcout.monitor")),
                                  0});
    manager.start();
    // The device listing runs off the main thread; capture begins when its result is taken.
    QElapsedTimer waited;
    waited.start();
    while (manager.isListing() && waited.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    if (!manager.isCapturing()) {
        std::fprintf(stderr, "no capture from ltcout.monitor\n");
        return 1;
    }

    std::mutex mutex;
    std::map<int, Clock::time_point> entered; // frame key -> its last sample handed to the server
    std::map<int, Clock::time_point> shown;
    QObject::connect(&runtime, &TimecodeRuntime::changed, &runtime, [&] {
        const TimecodeRuntime::Time t = runtime.liveTime();
        shown.emplace(key({t.hours, t.minutes, t.seconds, t.frames}), Clock::now());
    });

    std::atomic<bool> playing = true;
    std::thread player([&] {
        pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kRate, 1};
        // A small target buffer, so that the server asks for each chunk about when it plays it.
        pa_buffer_attr attributes{std::uint32_t(-1), std::uint32_t(kChunkFrames * 2 * sizeof(float)),
                                  std::uint32_t(-1), std::uint32_t(-1), std::uint32_t(-1)};
        int error = 0;
        pa_simple* stream = pa_simple_new(nullptr, "tavix-ltc-latency", PA_STREAM_PLAYBACK, "ltcout", "LTC",
                                          &spec, nullptr, &attributes, &error);
        if (stream == nullptr) {
            std::fprintf(stderr, "playback: %s\n", pa_strerror(error));
            playing = false;
            return;
        }
        std::size_t nextFrame = 0;
        for (std::size_t offset = 0; offset < signal.samples.size(); offset += kChunkFrames) {
            const std::size_t n = std::min(kChunkFrames, signal.samples.size() - offset);
            pa_simple_write(stream, signal.samples.data() + offset, n * sizeof(float), &error);
            const Clock::time_point now = Clock::now();
            std::lock_guard lock(mutex);
            while (nextFrame < frameEnds.size() && frameEnds[nextFrame] <= offset + n) {
                entered.emplace(key(signal.frames[nextFrame]), now);
                ++nextFrame;
            }
        }
        pa_simple_drain(stream, &error);
        pa_simple_free(stream);
        playing = false;
    });

    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [&] {
        if (!playing) {
            QTimer::singleShot(500, &app, &QCoreApplication::quit);
            poll.stop();
        }
    });
    poll.start(50);
    app.exec();
    player.join();
    manager.stop();

    std::vector<double> latenciesMs;
    {
        std::lock_guard lock(mutex);
        for (const auto& [frame, at] : shown) {
            const auto it = entered.find(frame);
            if (it != entered.end()) {
                latenciesMs.push_back(std::chrono::duration<double, std::milli>(at - it->second).count());
            }
        }
    }
    if (latenciesMs.size() < 10) {
        std::fprintf(stderr, "only %zu frames were shown\n", latenciesMs.size());
        return 1;
    }
    // The first second is lock-on, not steady state.
    latenciesMs.erase(latenciesMs.begin(), latenciesMs.begin() + int(kFps));
    std::sort(latenciesMs.begin(), latenciesMs.end());
    const auto at = [&](double q) { return latenciesMs[std::size_t(q * double(latenciesMs.size() - 1))]; };
    std::printf("LTC end-to-end latency over %zu frames (30 fps, 48 kHz, 1024-frame capture blocks): "
                "median %.1f ms, p10 %.1f ms, p90 %.1f ms, max %.1f ms (target: median <= ~55 ms)\n",
                latenciesMs.size(), at(0.5), at(0.1), at(0.9), latenciesMs.back());
    return 0;
}
