#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tavix {

/// A labelled queue that runs its tasks one at a time, in submission order, on one background thread.
/// Thread safe: async() and sync() may be called from any thread but the queue's own.
class SerialQueue {
public:
    explicit SerialQueue(std::string label);
    /// Runs every task already submitted, then joins the worker thread.
    ~SerialQueue();

    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    const std::string& label() const { return m_label; }

    /// Queues a task and returns at once.
    void async(std::function<void()> task);
    /// Queues a task and blocks until it (and so every task queued before it) has run.
    void sync(std::function<void()> task);

    /// True when called from inside one of this queue's tasks.
    bool isCurrent() const;

private:
    void ensureThread();
    void run();

    const std::string m_label;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_stopping = false;
    std::thread m_thread;
    std::thread::id m_threadId;
};

} // namespace tavix
