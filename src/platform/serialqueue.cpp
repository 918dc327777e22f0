#include "serialqueue.h"

#include <future>

#include <pthread.h>

namespace tavix {

SerialQueue::SerialQueue(std::string label) : m_label(std::move(label)) {}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void SerialQueue::ensureThread() {
    // Called with m_mutex held. The thread starts with the first task, so an unused queue costs nothing.
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { run(); });
        m_threadId = m_thread.get_id();
    }
}

void SerialQueue::async(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        ensureThread();
    }
    m_wake.notify_one();
}

void SerialQueue::sync(std::function<void()> task) {
    std::promise<void> done;
    auto finished = done.get_future();
    async([&task, &done] {
        task();
        done.set_value();
    });
    finished.wait();
}

bool SerialQueue::isCurrent() const {
    std::lock_guard lock(m_mutex);
    return m_thread.joinable() && std::this_thread::get_id() == m_threadId;
}

void SerialQueue::run() {
    // Linux limits thread names to 15 characters.
    pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
        if (m_tasks.empty()) {
            return; // stopping, and everything submitted has run
        }
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        task = nullptr; // release captured state outside the lock
        lock.lock();
    }
}

} // namespace tavix
