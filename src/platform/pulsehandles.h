#pragma once

// Small owners for libpulse objects, so that no path forgets an unref or a free.

#include <pulse/pulseaudio.h>

#include <memory>
#include <utility>

namespace tavix::pulse {

template <typename T, void (*Release)(T*)>
struct Releaser {
    void operator()(T* object) const noexcept { Release(object); }
};

/// Sole owner of one reference; move-only.
template <typename T, void (*Release)(T*)>
using Handle = std::unique_ptr<T, Releaser<T, Release>>;

using Operation = Handle<pa_operation, pa_operation_unref>;
using Stream = Handle<pa_stream, pa_stream_unref>;
using Context = Handle<pa_context, pa_context_unref>;
using PropertyList = Handle<pa_proplist, pa_proplist_free>;

/// A second reference to a context that someone else also holds.
inline Context retain(pa_context* context) {
    return Context(context != nullptr ? pa_context_ref(context) : nullptr);
}

/// The threaded main loop: started on construction, stopped and freed on destruction. Its thread
/// runs every callback of the objects made on it.
class MainLoop {
public:
    explicit MainLoop(const char* threadName) {
        m_loop = pa_threaded_mainloop_new();
        if (m_loop == nullptr) {
            return;
        }
        pa_threaded_mainloop_set_name(m_loop, threadName);
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(std::exchange(m_loop, nullptr));
        }
    }
    ~MainLoop() {
        if (m_loop != nullptr) {
            pa_threaded_mainloop_stop(m_loop);
            pa_threaded_mainloop_free(m_loop);
        }
    }
    MainLoop(const MainLoop&) = delete;
    MainLoop& operator=(const MainLoop&) = delete;

    /// Null when the loop could not be made or started.
    pa_threaded_mainloop* get() const { return m_loop; }
    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(m_loop); }

private:
    pa_threaded_mainloop* m_loop = nullptr;
};

/// Holds the loop's lock. Not for the loop's own thread, whose callbacks already hold it.
class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

/// A timer event of the loop; freed on destruction. Made and destroyed with the loop locked.
class TimeEvent {
public:
    TimeEvent() = default;
    TimeEvent(pa_mainloop_api* api, pa_time_event* event) : m_api(api), m_event(event) {}
    ~TimeEvent() { reset(); }
    TimeEvent(TimeEvent&& other) noexcept
        : m_api(other.m_api), m_event(std::exchange(other.m_event, nullptr)) {}
    TimeEvent& operator=(TimeEvent&& other) noexcept {
        std::swap(m_api, other.m_api);
        std::swap(m_event, other.m_event);
        return *this;
    }

    void reset() {
        if (m_event != nullptr) {
            m_api->time_free(std::exchange(m_event, nullptr));
        }
    }
    explicit operator bool() const { return m_event != nullptr; }

private:
    pa_mainloop_api* m_api = nullptr;
    pa_time_event* m_event = nullptr;
};

} // namespace tavix::pulse
