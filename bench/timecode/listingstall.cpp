// How long the main thread is held up while a timecode clock lists the sound server's sources:
// the timecode input restarts 20 times against a server with 40 sources while a 1 ms timer on the
// main thread notes the longest gap between its ticks. Run it with bench/timecode/listing_stall.sh
// (a private daemon from tests/support/with-pulse.sh, with 38 null sources added to its two
// monitors).
#include "platform/pulseaudiobackend.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <vector>

using namespace tavix;

namespace {

/// Notes the longest gap between the ticks of a 1 ms timer on the main thread.
class Probe {
public:
    Probe() {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longestNs = std::max(m_longestNs, now - m_lastNs);
            m_lastNs = now;
        });
    }
    void begin() {
        m_lastNs = m_clock.nsecsElapsed();
        m_longestNs = 0;
        m_timer.start(1);
    }
    double endMs() {
        m_timer.stop();
        return double(m_longestNs) / 1e6;
    }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_lastNs = 0;
    qint64 m_longestNs = 0;
};

void serveEventsFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    constexpr int kRounds = 20;
    PulseAudioBackend audio;
    TimecodeRuntime runtime;
    TimecodeInputManager manager(&audio, &runtime,
                                 {TimecodeFrameRate::fps25,
                                  QString::number(PulseAudioBackend::deviceIdForSourceName("ltcout.monitor")),
                                  0});
    const std::size_t sources = listInputDevicesQuietly(audio).size();

    Probe probe;
    probe.begin();
    serveEventsFor(2000);
    const double idleMs = probe.endMs();

    std::vector<double> startMs;
    std::vector<double> stallMs; // start() plus the longest event the main thread handled meanwhile
    std::vector<double> cpuMs;   // main-thread CPU time of the longest step
    std::vector<double> listingMs;
    int capturing = 0;
    probe.begin();
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const double cpuBefore = threadCpuMs();
        manager.start(); // stops the capture of the round before, then lists on the pool
        const double started = double(timer.nsecsElapsed()) / 1e6;
        double longestCpu = threadCpuMs() - cpuBefore;
        startMs.push_back(started);
        double longestEvents = 0;
        while (manager.isListing() && timer.elapsed() < 10000) {
            QElapsedTimer events;
            events.start();
            const double cpu = threadCpuMs();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            longestEvents = std::max(longestEvents, double(events.nsecsElapsed()) / 1e6);
            longestCpu = std::max(longestCpu, threadCpuMs() - cpu);
        }
        stallMs.push_back(std::max(started, longestEvents));
        cpuMs.push_back(longestCpu);
        listingMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        capturing += manager.isCapturing() ? 1 : 0;
        serveEventsFor(100);
    }
    const double busyMs = probe.endMs();
    manager.stop();

    std::printf(
        "main-thread stall while listing %zu sources, over %d restarts of a timecode input: longest "
        "main-thread step (start(), or taking the list and starting capture) median %.2f ms, max %.2f "
        "ms (its CPU time median %.2f ms, max %.2f ms); start() alone median %.2f ms; longest gap of a 1 ms "
        "timer %.2f ms (idle machine noise: "
        "%.2f ms); listing, off the main thread, median %.1f ms; %d of %d captured (target: stall < "
        "5 ms)\n",
        sources, kRounds, median(stallMs), *std::max_element(stallMs.begin(), stallMs.end()), median(cpuMs),
        *std::max_element(cpuMs.begin(), cpuMs.end()), median(startMs), busyMs, idleMs, median(listingMs),
        capturing, kRounds);
    return 0;
}
