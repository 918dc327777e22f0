#pragma once

#include "timesource.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <cstdint>
#include <map>

namespace tavix {

class TickEngine;

/// The one timer behind the ticks of every clock window: it wakes at the earliest tick that is
/// due and runs every tick due by then, so windows that tick at the same moment (all wall clocks,
/// for one) cost one wake-up between them. A loose tick (nothing on screen depends on its phase)
/// may run up to kLooseSlackNs late, together with another.
/// Main thread only.
class TickScheduler : public QObject {
    Q_OBJECT

public:
    explicit TickScheduler(TimeSource& time, QObject* parent = nullptr);
    ~TickScheduler() override;

    TimeSource& time() const { return m_time; }

    /// Calls `engine->tick()` once the elapsed clock reaches `dueNs`, replacing its earlier tick.
    void arm(TickEngine* engine, std::int64_t dueNs, bool precise);
    void disarm(TickEngine* engine);
    bool isArmed(const TickEngine* engine) const { return m_entries.contains(engine); }

    /// Runs every tick that is due now. The timer calls it; tests call it after moving the time.
    void runDue();

    /// How many times the timer woke (for measurements).
    std::int64_t wakeups() const { return m_wakeups; }

    static constexpr std::int64_t kLooseSlackNs = 100'000'000;
    /// Ticks due this little after the one that wakes the timer run with it.
    static constexpr std::int64_t kTogetherNs = 1'000'000;

private:
    using Queue = std::multimap<std::int64_t, TickEngine*>;
    struct Entry {
        Queue* queue;
        Queue::iterator at;
    };
    void rearm();

    TimeSource& m_time;
    QTimer m_timer;
    Queue m_precise;
    Queue m_loose;
    QHash<const TickEngine*, Entry> m_entries;
    std::int64_t m_wakeups = 0;
    bool m_running = false;
};

} // namespace tavix
