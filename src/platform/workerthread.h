#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace tavix {

/// One background thread for work that may wait a long time (a sound server that does not
/// answer), so that its callers never do. Work runs in the order posted. Unlike SerialQueue, going
/// away drops the work not yet started: nobody waits for answers that no one will read.
/// Thread safe: post() from any thread but the worker's own.
class WorkerThread {
public:
    explicit WorkerThread(std::string name);
    /// Drops the work not started and waits for the work running.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    void post(std::function<void()> work);

private:
    void run();

    const std::string m_name;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_work;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace tavix
