#include "workerthread.h"

#include <pthread.h>

namespace tavix {

WorkerThread::WorkerThread(std::string name) : m_name(std::move(name)) {}

WorkerThread::~WorkerThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_work.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void WorkerThread::post(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
        // Started with the first work, so that a backend nobody lists with costs no thread.
        if (!m_thread.joinable()) {
            m_thread = std::thread([this] { run(); });
        }
    }
    m_wake.notify_one();
}

void WorkerThread::run() {
    // Linux limits thread names to 15 characters.
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_work.empty(); });
        if (m_stopping) {
            return;
        }
        auto work = std::move(m_work.front());
        m_work.pop_front();
        lock.unlock();
        work();
        work = nullptr; // release captured state outside the lock
        lock.lock();
    }
}

} // namespace tavix
