#include "tickscheduler.h"

#include "tickengine.h"

#include <QPointer>

#include <algorithm>
#include <vector>

namespace tavix {

TickScheduler::TickScheduler(TimeSource& time, QObject* parent) : QObject(parent), m_time(time) {
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        ++m_wakeups;
        runDue();
    });
}

TickScheduler::~TickScheduler() = default;

void TickScheduler::arm(TickEngine* engine, std::int64_t dueNs, bool precise) {
    disarm(engine);
    Queue& queue = precise ? m_precise : m_loose;
    m_entries.insert(engine, Entry{&queue, queue.emplace(dueNs, engine)});
    if (!m_running) {
        rearm();
    }
}

void TickScheduler::disarm(TickEngine* engine) {
    const auto it = m_entries.find(engine);
    if (it == m_entries.end()) {
        return;
    }
    it->queue->erase(it->at);
    m_entries.erase(it);
    if (!m_running) {
        rearm();
    }
}

void TickScheduler::runDue() {
    const std::int64_t now = m_time.elapsedNanoseconds();
    std::vector<QPointer<TickEngine>> due;
    const auto take = [&](Queue& queue, std::int64_t until) {
        while (!queue.empty() && queue.begin()->first <= until) {
            TickEngine* engine = queue.begin()->second;
            m_entries.remove(engine);
            queue.erase(queue.begin());
            due.emplace_back(engine);
        }
    };
    take(m_precise, now + kTogetherNs);
    take(m_loose, now + kTogetherNs);
    m_running = true;
    for (const QPointer<TickEngine>& engine : due) {
        if (engine) {
            engine->tick(); // arms its next tick
        }
    }
    m_running = false;
    rearm();
}

void TickScheduler::rearm() {
    std::int64_t wake = -1;
    if (!m_precise.empty()) {
        wake = m_precise.begin()->first;
    }
    if (!m_loose.empty()) {
        const std::int64_t loose = m_loose.begin()->first + kLooseSlackNs;
        wake = wake < 0 ? loose : std::min(wake, loose);
    }
    if (wake < 0) {
        m_timer.stop();
        return;
    }
    const std::int64_t wait = wake - m_time.elapsedNanoseconds();
    // Whole milliseconds, rounded up: a tick never runs before it is due.
    const int waitMs = static_cast<int>(std::clamp<std::int64_t>((wait + 999'999) / 1'000'000, 0, 3'600'000));
    m_timer.start(waitMs);
}

} // namespace tavix
