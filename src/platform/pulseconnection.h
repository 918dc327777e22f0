#pragma once

#include "audiobackend.h"
#include "pulsehandles.h"

#include <QByteArray>

#include <functional>
#include <map>
#include <optional>
#include <vector>

namespace tavix {

/// The status for a PulseAudio error number: its negation (PA_ERR_CONNECTIONREFUSED reads -6).
AudioStatus pulseError(int error);

/// The POSIX cksum CRC of a source's name: its id in clock settings.
InputDeviceId deviceIdForSourceName(const QByteArray& sourceName);

/// What a capture needs to know of a source, from the last listing.
struct PulseSource {
    QByteArray name;
    std::optional<QString> description;
    pa_sample_spec sampleSpec{};
    pa_channel_map channelMap{};
    InputDeviceId id = 0;
    SourceTraits traits;
};

/// The connection part of the PulseAudio backend: the threaded main loop and its lock, one
/// context (made on first use and again after the server went away), bounded waits, and the
/// sources of the last listing, fetched in one round trip.
/// Thread rule: every member whose name ends in "Locked" needs the loop locked (locked() does
/// that); none of them may run on the loop's own thread except where said.
class PulseConnection {
public:
    /// How long one wait for the server may take before it counts as not answering.
    static constexpr int kServerTimeoutMs = 3000;

    PulseConnection();
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    bool hasLoop() const { return m_loop.get() != nullptr; }
    pa_threaded_mainloop* loop() const { return m_loop.get(); }

    /// Runs `work` with the loop locked and returns its status; without a loop it fails at once.
    template <typename Work>
    AudioStatus locked(Work&& work) {
        if (!hasLoop()) {
            return pulseError(PA_ERR_INTERNAL);
        }
        pulse::LoopLock lock(m_loop.get());
        return work();
    }

    /// The connection, made or made again when needed, once it is ready; `context` then holds a
    /// reference that stays valid across waits.
    AudioStatus connectLocked(pulse::Context& context);
    /// How the last attempt to connect ended; absent before the first one.
    std::optional<AudioStatus> lastConnectStatusLocked() const { return m_lastConnectStatus; }
    /// The context when it is ready, without waiting; otherwise null, and `status` says why.
    pa_context* readyContextLocked(AudioStatus& status) const;
    /// Asks the server for every source (one round trip) and keeps them for sourceLocked().
    AudioStatus querySourcesLocked();
    const std::vector<PulseSource>& sourcesLocked() const { return m_sources; }
    /// The source with this id in the last listing, or null.
    const PulseSource* sourceLocked(InputDeviceId id) const;

    /// Blocks of this many frames are asked for in the next capture of `source`.
    void setBlockFramesLocked(InputDeviceId source, std::uint32_t frames) { m_blockFrames[source] = frames; }
    std::optional<std::uint32_t> blockFramesLocked(InputDeviceId source) const;

    /// Waits, releasing the lock meanwhile, until `done` holds; false after `timeoutMs`.
    bool waitLocked(const std::function<bool()>& done, int timeoutMs);
    /// Wakes the waiters; also from the loop's thread.
    void signalLocked() { pa_threaded_mainloop_signal(m_loop.get(), 0); }

    /// `onChange` is called (on the loop's thread, with the lock held) for every change of the
    /// server's sources or of the server, when the connection comes or goes, and when a capture
    /// stream ends. While anyone watches, the connection is kept: subscribed to those changes, and
    /// made again every kReconnectMs after it is lost.
    std::uint64_t addWatcherLocked(std::function<void()> onChange);
    void removeWatcherLocked(std::uint64_t id);
    /// Tells every watcher that something changed; also from the loop's thread.
    void notifyWatchersLocked();
    /// Connected and subscribed: changes are reported as they happen.
    bool reportsChangesLocked() const;

    static constexpr int kReconnectMs = 500;

private:
    /// Makes a context and starts connecting it, without waiting.
    AudioStatus openContextLocked();
    void dropContextLocked();
    void subscribeLocked();
    void scheduleReconnectLocked(int delayMs);
    static void onSubscriptionEvent(pa_context* context, pa_subscription_event_type_t type,
                                    std::uint32_t index, void* userdata);
    /// Keeps how a connection attempt ended, for the access check, and returns it.
    AudioStatus settleConnectLocked(AudioStatus status);
    static void onContextState(pa_context* context, void* userdata);

    pulse::MainLoop m_loop;
    pulse::Context m_context;
    std::optional<AudioStatus> m_lastConnectStatus;
    std::vector<PulseSource> m_sources;
    std::map<InputDeviceId, std::uint32_t> m_blockFrames;
    std::map<std::uint64_t, std::function<void()>> m_watchers;
    std::uint64_t m_nextWatcher = 1;
    bool m_subscribed = false;
    bool m_wasReady = false;
    pulse::TimeEvent m_reconnect;
};

} // namespace tavix
