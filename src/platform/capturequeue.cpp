#include "capturequeue.h"

#include <algorithm>
#include <future>

#include <pthread.h>

namespace tavix {

CaptureQueue::CaptureQueue(std::string label) : m_label(std::move(label)) {}

CaptureQueue::~CaptureQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_doorbell.ring();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CaptureQueue::ensureThread() {
    // Called with m_mutex held. The thread starts with the first task or ring, so an unused queue
    // costs nothing.
    if (!m_thread.joinable()) {
        m_thread = std::thread([this] { run(); });
    }
}

void CaptureQueue::async(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        ensureThread();
    }
    m_doorbell.ring();
}

void CaptureQueue::sync(std::function<void()> task) {
    std::promise<void> done;
    auto finished = done.get_future();
    async([&task, &done] {
        task();
        done.set_value();
    });
    finished.wait();
}

void CaptureQueue::attach(std::shared_ptr<CaptureRing> ring, Drain drain) {
    {
        std::lock_guard lock(m_mutex);
        m_rings.push_back(std::make_shared<Attached>(Attached{std::move(ring), std::move(drain)}));
        ensureThread();
    }
    m_doorbell.ring();
}

void CaptureQueue::drainRings() {
    {
        std::lock_guard lock(m_mutex);
        m_pass.assign(m_rings.begin(), m_rings.end());
    }
    for (const std::shared_ptr<Attached>& attached : m_pass) {
        // Closed before draining: then nothing can follow what this drain takes, and the ring may go.
        const bool closed = attached->ring->isClosed();
        attached->drain(*attached->ring);
        if (closed) {
            std::lock_guard lock(m_mutex);
            m_rings.erase(std::find(m_rings.begin(), m_rings.end(), attached));
        }
    }
    m_pass.clear();
}

void CaptureQueue::run() {
    // Linux limits thread names to 15 characters.
    pthread_setname_np(pthread_self(), m_label.substr(0, 15).c_str());
    for (;;) {
        m_doorbell.wait();
        for (;;) {
            drainRings();
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                if (m_tasks.empty()) {
                    break;
                }
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            drainRings(); // blocks published before the task was posted go first
            task();
            task = nullptr; // release captured state before the next wait
        }
        std::lock_guard lock(m_mutex);
        if (m_stopping && m_tasks.empty()) {
            return;
        }
    }
}

} // namespace tavix
