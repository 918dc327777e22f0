// End-to-end LTC latency: from the last sample of an LTC frame entering the sound server to the
// runtime showing that frame. Plays LTC (30 fps unless a rate is given) into the null sink "ltcout"
// through a low-latency playback stream, paced by the server, and captures its monitor through the
// real capture path. Then the signal stops and comes back, again and again: how long after it
// stops the clock shows NO LTC, and how long after it comes back it is live again.
// Run it with bench/timecode/ltc_latency.sh (a private daemon from tests/support/with-pulse.sh).
#include "ltcsignal.h"
#include "platform/pulseaudiobackend.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"
#include "timecode/timecodevalidator.h"

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
#include <optional>
#include <thread>

using namespace tavix;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRate = 48000;
constexpr int kSeconds = 20;
constexpr std::size_t kChunkFrames = 128;
// Stop-and-return cycles: LTC for a while, then silence; each return starts elsewhere (a jump).
constexpr int kCycles = 10;
constexpr double kCycleLtcSeconds = 2.0;
constexpr double kCycleSilenceSeconds = 1.5;

int key(const DecodedTimecode& t) {
    return ((t.hours * 60 + t.minutes) * 60 + t.seconds) * 100 + t.frames;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double fps = argc > 1 ? std::atof(argv[1]) : 30;
    const TimecodeFrameRate frameRate = fps < 23.99   ? TimecodeFrameRate::fps23_976
                                        : fps < 24.5  ? TimecodeFrameRate::fps24
                                        : fps < 27    ? TimecodeFrameRate::fps25
                                        : fps < 29.99 ? TimecodeFrameRate::fps29_97
                                                      : TimecodeFrameRate::fps30;
    const test::LtcSignal signal = test::makeLtc(kRate, fps, {1, 0, 0, 0}, int(fps * kSeconds), -6);
    // The sample index just after each frame's last sample.
    std::vector<std::size_t> frameEnds;
    for (std::size_t i = 1; i <= signal.frames.size(); ++i) {
        frameEnds.push_back(std::size_t(std::llround(double(i) * kRate / fps)));
    }
    frameEnds.back() = std::min(frameEnds.back(), signal.samples.size());

    PulseAudioBackend audio;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(
        &audio, &runtime,
        {frameRate, QString::number(PulseAudioBackend::deviceIdForSourceName("ltcout.monitor")), 0});
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
    std::vector<Clock::time_point> stops;   // the last LTC sample of a cycle handed to the server
    std::vector<Clock::time_point> returns; // the first LTC chunk of the next one handed over
    std::vector<Clock::time_point> lostAt;  // the clock turned to NO LTC
    std::vector<Clock::time_point> liveAt;  // and back
    bool showedNoLtc = runtime.showsNoTimecode();
    QObject::connect(&runtime, &TimecodeRuntime::changed, &runtime, [&] {
        const Clock::time_point now = Clock::now();
        const TimecodeRuntime::Time t = runtime.liveTime();
        shown.emplace(key({t.hours, t.minutes, t.seconds, t.frames}), now);
        if (runtime.showsNoTimecode() != showedNoLtc) {
            showedNoLtc = runtime.showsNoTimecode();
            (showedNoLtc ? lostAt : liveAt).push_back(now);
        }
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
        Clock::time_point last;
        for (std::size_t offset = 0; offset < signal.samples.size(); offset += kChunkFrames) {
            const std::size_t n = std::min(kChunkFrames, signal.samples.size() - offset);
            pa_simple_write(stream, signal.samples.data() + offset, n * sizeof(float), &error);
            last = Clock::now();
            std::lock_guard lock(mutex);
            while (nextFrame < frameEnds.size() && frameEnds[nextFrame] <= offset + n) {
                entered.emplace(key(signal.frames[nextFrame]), last);
                ++nextFrame;
            }
        }
        // Silence, then LTC again from another time, and so on; the null sink's monitor carries the
        // silence on, as a line input would.
        const std::vector<float> silence(std::size_t(kCycleSilenceSeconds * kRate), 0.0f);
        for (int cycle = 0; cycle <= kCycles; ++cycle) {
            {
                std::lock_guard lock(mutex);
                stops.push_back(last);
            }
            for (std::size_t offset = 0; offset < silence.size(); offset += kChunkFrames) {
                pa_simple_write(stream, silence.data() + offset,
                                std::min(kChunkFrames, silence.size() - offset) * sizeof(float), &error);
            }
            if (cycle == kCycles) {
                break;
            }
            const auto again =
                test::makeLtc(kRate, fps, {2 + cycle, 0, 0, 0}, int(fps * kCycleLtcSeconds), -6);
            for (std::size_t offset = 0; offset < again.samples.size(); offset += kChunkFrames) {
                const std::size_t n = std::min(kChunkFrames, again.samples.size() - offset);
                pa_simple_write(stream, again.samples.data() + offset, n * sizeof(float), &error);
                last = Clock::now();
                if (offset == 0) {
                    std::lock_guard lock(mutex);
                    returns.push_back(last);
                }
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
    latenciesMs.erase(latenciesMs.begin(), latenciesMs.begin() + int(fps));
    std::sort(latenciesMs.begin(), latenciesMs.end());
    const auto at = [&](double q) { return latenciesMs[std::size_t(q * double(latenciesMs.size() - 1))]; };
    std::printf("LTC end-to-end latency over %zu frames (%s, 48 kHz, 1024-frame capture blocks): "
                "median %.1f ms, p10 %.1f ms, p90 %.1f ms, max %.1f ms (target: median <= ~55 ms)\n",
                latenciesMs.size(), qPrintable(frameRateText(frameRate)), at(0.5), at(0.1), at(0.9),
                latenciesMs.back());

    // Each stop against the first NO LTC after it; each return against the first live time after it.
    const auto firstAfter = [](const std::vector<Clock::time_point>& events, Clock::time_point from) {
        const auto it = std::lower_bound(events.begin(), events.end(), from);
        return it == events.end() ? std::optional<double>()
                                  : std::chrono::duration<double, std::milli>(*it - from).count();
    };
    std::vector<double> noLtcMs;
    std::vector<double> liveMs;
    {
        std::lock_guard lock(mutex);
        for (const Clock::time_point stop : stops) {
            if (const auto ms = firstAfter(lostAt, stop)) {
                noLtcMs.push_back(*ms);
            }
        }
        for (const Clock::time_point back : returns) {
            if (const auto ms = firstAfter(liveAt, back)) {
                liveMs.push_back(*ms);
            }
        }
    }
    if (noLtcMs.size() < stops.size() || liveMs.size() < returns.size()) {
        std::fprintf(stderr, "NO LTC shown after %zu of %zu stops, live after %zu of %zu returns\n",
                     noLtcMs.size(), stops.size(), liveMs.size(), returns.size());
        return 1;
    }
    std::printf(
        "NO LTC after the signal stops (%s, %zu stops): median %.0f ms, max %.0f ms (target <= 500 ms); "
        "live again after it returns elsewhere (%zu returns): median %.0f ms, max %.0f ms\n",
        qPrintable(frameRateText(frameRate)), noLtcMs.size(), median(noLtcMs),
        *std::max_element(noLtcMs.begin(), noLtcMs.end()), liveMs.size(), median(liveMs),
        *std::max_element(liveMs.begin(), liveMs.end()));
    return 0;
}
