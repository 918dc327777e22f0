#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tavix {

/// Carries tasks from worker threads to the thread that owns the inbox (the main thread for us).
/// The hand-over is a std::mutex of ours rather than Qt's event queue alone, so that the thread
/// sanitizer sees every task's captures cross threads; Qt only delivers the wake-up.
/// Create and destroy on the owning thread; Sender::post is thread safe.
class MainThreadInbox : public QObject {
    Q_OBJECT

public:
    /// What workers keep. Posting after the inbox is gone drops the task.
    class Sender {
    public:
        Sender() = default;
        void post(std::function<void()> task) const;

    private:
        friend class MainThreadInbox;
        struct State;
        explicit Sender(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    explicit MainThreadInbox(QObject* parent = nullptr);
    /// Drops the tasks not yet run; later posts are dropped too.
    ~MainThreadInbox() override;

    Sender sender() const { return Sender(m_state); }

    /// Runs the tasks posted so far now, on the owning thread.
    void drain();

private:
    Q_INVOKABLE void drainPosted();

    std::shared_ptr<Sender::State> m_state;
};

} // namespace tavix
