#pragma once

#include "capturering.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavix {

/// A labelled serial queue for captured audio: one thread that runs posted tasks in order and,
/// whenever it wakes, empties the capture rings attached to it, oldest ring first. The audio
/// thread wakes it through the rings' doorbell, without a lock; tasks come under a mutex.
/// A block published before a task was posted is handled before that task runs, and the blocks of
/// a ring attached earlier before those of a ring attached later: a restarted capture never
/// overlaps the one before it.
/// Thread safe: async(), sync() and attach() from any thread but the queue's own and the audio
/// thread.
class CaptureQueue {
public:
    /// Takes what a ring holds; runs on the queue's thread.
    using Drain = std::function<void(CaptureRing& ring)>;

    explicit CaptureQueue(std::string label);
    /// Runs every task already posted and drains the attached rings, then joins the thread.
    ~CaptureQueue();
    CaptureQueue(const CaptureQueue&) = delete;
    CaptureQueue& operator=(const CaptureQueue&) = delete;

    const std::string& label() const { return m_label; }
    /// Rings made for this queue wake it with this.
    Doorbell& doorbell() { return m_doorbell; }

    void async(std::function<void()> task);
    /// Blocks until `task`, every task posted before it and every block published before it have run.
    void sync(std::function<void()> task);
    /// `drain` is called on every wake-up until the ring is closed and has been drained once more.
    void attach(std::shared_ptr<CaptureRing> ring, Drain drain);

private:
    struct Attached {
        std::shared_ptr<CaptureRing> ring;
        Drain drain;
    };

    void ensureThread();
    void run();
    void drainRings();

    const std::string m_label;
    Doorbell m_doorbell;
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::shared_ptr<Attached>> m_rings;
    bool m_stopping = false;
    std::thread m_thread;
    // Queue thread only: the rings of one pass, kept to reuse its storage.
    std::vector<std::shared_ptr<Attached>> m_pass;
};

} // namespace tavix
