#include "mainthreadinbox.h"

#include <QMetaObject>
#include <QPointer>

namespace tavix {

struct MainThreadInbox::Sender::State {
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
    MainThreadInbox* inbox = nullptr; // null once the inbox is gone
    bool wakePending = false;
};

void MainThreadInbox::Sender::post(std::function<void()> task) const {
    if (!m_state) {
        return;
    }
    std::lock_guard lock(m_state->mutex);
    if (m_state->inbox == nullptr) {
        return;
    }
    m_state->tasks.push_back(std::move(task));
    if (!m_state->wakePending) {
        m_state->wakePending = true;
        // Under our lock, so the inbox cannot be destroyed in between; its destructor takes the
        // lock first, and Qt discards events posted to an object that has gone.
        QMetaObject::invokeMethod(m_state->inbox, "drainPosted", Qt::QueuedConnection);
    }
}

MainThreadInbox::MainThreadInbox(QObject* parent)
    : QObject(parent), m_state(std::make_shared<Sender::State>()) {
    m_state->inbox = this;
}

MainThreadInbox::~MainThreadInbox() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->inbox = nullptr;
        dropped.swap(m_state->tasks);
    }
    // The dropped tasks' captures are released here, outside the lock.
}

void MainThreadInbox::drain() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(m_state->mutex);
        tasks.swap(m_state->tasks);
    }
    // A task may end the inbox's owner; the tasks after it then belong to nobody.
    const QPointer<MainThreadInbox> alive(this);
    for (auto& task : tasks) {
        if (!alive) {
            break;
        }
        task();
    }
}

void MainThreadInbox::drainPosted() {
    {
        std::lock_guard lock(m_state->mutex);
        m_state->wakePending = false;
    }
    drain();
}

} // namespace tavix
