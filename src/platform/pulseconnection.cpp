#include "pulseconnection.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tavix {

namespace {

// The table of the POSIX cksum CRC (polynomial 0x04C11DB7, most significant bit first).
constexpr std::array<std::uint32_t, 256> makeCksumTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t crc = i << 24;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        }
        table[i] = crc;
    }
    return table;
}
constexpr auto kCksumTable = makeCksumTable();

PortType portType(std::uint32_t type) {
    switch (type) {
    case PA_DEVICE_PORT_TYPE_UNKNOWN:
        return PortType::unknown;
    case PA_DEVICE_PORT_TYPE_MIC:
        return PortType::microphone;
    case PA_DEVICE_PORT_TYPE_HEADSET:
    case PA_DEVICE_PORT_TYPE_HANDSET:
    case PA_DEVICE_PORT_TYPE_HANDSFREE:
        return PortType::headset;
    case PA_DEVICE_PORT_TYPE_LINE:
    case PA_DEVICE_PORT_TYPE_AUX:
        return PortType::line;
    default:
        return PortType::other;
    }
}

/// Where the source's sound comes from, as the server describes it.
SourceTraits traitsOf(const pa_source_info& info) {
    SourceTraits traits;
    traits.isMonitor = info.monitor_of_sink != PA_INVALID_INDEX;
    if (info.active_port != nullptr) {
        if (info.active_port->name != nullptr) {
            traits.portName = QString::fromUtf8(info.active_port->name);
        }
        traits.portType = portType(info.active_port->type);
    }
    if (const char* formFactor = pa_proplist_gets(info.proplist, PA_PROP_DEVICE_FORM_FACTOR)) {
        traits.formFactor = QString::fromUtf8(formFactor);
    }
    return traits;
}

} // namespace

static_assert(-PA_ERR_TIMEOUT == kAudioTimedOut);

AudioStatus pulseError(int error) {
    return AudioStatus(-(error != 0 ? error : PA_ERR_UNKNOWN));
}

// Device ids are stored in clock settings, so they must survive a server restart or a device
// being plugged in again; the server's source index does neither. The id is therefore the POSIX
// cksum CRC of the source's name (the name, not the description): for example
//   printf %s alsa_input.usb-Focusrite-00.analog-stereo | cksum
// prints the id first. Two names with the same CRC are unlikely; the second of them is not listed.
InputDeviceId deviceIdForSourceName(const QByteArray& sourceName) {
    std::uint32_t crc = 0;
    for (const char c : sourceName) {
        crc = (crc << 8) ^ kCksumTable[((crc >> 24) ^ std::uint8_t(c)) & 0xFF];
    }
    for (auto length = std::uint64_t(sourceName.size()); length != 0; length >>= 8) {
        crc = (crc << 8) ^ kCksumTable[((crc >> 24) ^ (length & 0xFF)) & 0xFF];
    }
    return ~crc;
}

PulseConnection::PulseConnection() : m_loop("tavix-audio") {}

PulseConnection::~PulseConnection() {
    if (hasLoop()) {
        pulse::LoopLock lock(m_loop.get());
        m_watchers.clear();
        m_reconnect.reset();
        dropContextLocked();
    }
}

void PulseConnection::onContextState(pa_context* context, void* userdata) {
    auto* self = static_cast<PulseConnection*>(userdata);
    self->signalLocked();
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        if (!self->m_watchers.empty()) {
            self->subscribeLocked();
        }
        if (!self->m_wasReady) {
            self->m_wasReady = true;
            self->notifyWatchersLocked(); // the server is (back) there
        }
    } else if (!PA_CONTEXT_IS_GOOD(state)) {
        self->settleConnectLocked(pulseError(pa_context_errno(context)));
        self->m_subscribed = false;
        if (std::exchange(self->m_wasReady, false)) {
            self->notifyWatchersLocked(); // the server has gone
        }
        if (!self->m_watchers.empty()) {
            self->scheduleReconnectLocked(kReconnectMs);
        }
    }
}

std::uint64_t PulseConnection::addWatcherLocked(std::function<void()> onChange) {
    const std::uint64_t id = m_nextWatcher++;
    m_watchers.emplace(id, std::move(onChange));
    if (m_context && pa_context_get_state(m_context.get()) == PA_CONTEXT_READY) {
        subscribeLocked();
    } else if (!m_context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get()))) {
        scheduleReconnectLocked(0);
    }
    return id;
}

void PulseConnection::removeWatcherLocked(std::uint64_t id) {
    m_watchers.erase(id);
    if (m_watchers.empty()) {
        m_reconnect.reset();
    }
}

void PulseConnection::notifyWatchersLocked() {
    for (const auto& [id, onChange] : m_watchers) {
        onChange();
    }
}

bool PulseConnection::reportsChangesLocked() const {
    return m_subscribed && m_context && pa_context_get_state(m_context.get()) == PA_CONTEXT_READY;
}

void PulseConnection::subscribeLocked() {
    if (m_subscribed) {
        return;
    }
    pa_context_set_subscribe_callback(m_context.get(), &PulseConnection::onSubscriptionEvent, this);
    const pulse::Operation subscribing(pa_context_subscribe(
        m_context.get(), pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
        nullptr, nullptr));
    m_subscribed = subscribing != nullptr;
}

void PulseConnection::onSubscriptionEvent(pa_context*, pa_subscription_event_type_t, std::uint32_t,
                                          void* userdata) {
    // New, changed or removed sources, and changes of the server (its default source, say).
    static_cast<PulseConnection*>(userdata)->notifyWatchersLocked();
}

void PulseConnection::scheduleReconnectLocked(int delayMs) {
    if (m_reconnect) {
        return;
    }
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, pa_usec_t(delayMs) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = m_loop.api();
    m_reconnect = pulse::TimeEvent(
        api, api->time_new(
                 api, &when,
                 [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
                     auto* self = static_cast<PulseConnection*>(userdata);
                     self->m_reconnect.reset();
                     const bool connecting =
                         self->m_context && PA_CONTEXT_IS_GOOD(pa_context_get_state(self->m_context.get()));
                     if (self->m_watchers.empty() || connecting) {
                         return;
                     }
                     // Without waiting: the state callback takes it from here, and tries again
                     // later when the server is still not there.
                     self->dropContextLocked();
                     if (self->openContextLocked() != kAudioNoError) {
                         self->scheduleReconnectLocked(kReconnectMs);
                     }
                 },
                 this));
}

bool PulseConnection::waitLocked(const std::function<bool()>& done, int timeoutMs) {
    struct Timer {
        PulseConnection* connection;
        bool expired = false;
    } timer{this};
    timeval deadline{};
    pa_gettimeofday(&deadline);
    pa_timeval_add(&deadline, pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = m_loop.api();
    const pulse::TimeEvent event(api,
                                 api->time_new(
                                     api, &deadline,
                                     [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
                                         auto* t = static_cast<Timer*>(userdata);
                                         t->expired = true;
                                         t->connection->signalLocked();
                                     },
                                     &timer));
    bool held = done();
    while (!held && !timer.expired) {
        pa_threaded_mainloop_wait(m_loop.get());
        held = done();
    }
    return held;
}

AudioStatus PulseConnection::settleConnectLocked(AudioStatus status) {
    m_lastConnectStatus = status;
    return status;
}

AudioStatus PulseConnection::openContextLocked() {
    pulse::PropertyList properties(pa_proplist_new());
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_NAME, "Tavix");
    pa_proplist_sets(properties.get(), PA_PROP_APPLICATION_ID, "tavix");
    m_context.reset(pa_context_new_with_proplist(m_loop.api(), "Tavix", properties.get()));
    if (!m_context) {
        return pulseError(PA_ERR_INTERNAL);
    }
    pa_context_set_state_callback(m_context.get(), &PulseConnection::onContextState, this);
    // No autospawn: a server that is not running is reported, not started behind the user's back.
    if (pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        const int error = pa_context_errno(m_context.get());
        dropContextLocked();
        return pulseError(error);
    }
    return kAudioNoError;
}

void PulseConnection::dropContextLocked() {
    if (!m_context) {
        return;
    }
    pa_context_set_state_callback(m_context.get(), nullptr, nullptr);
    pa_context_set_subscribe_callback(m_context.get(), nullptr, nullptr);
    pa_context_disconnect(m_context.get());
    m_context.reset();
    m_subscribed = false;
    if (std::exchange(m_wasReady, false)) {
        notifyWatchersLocked();
    }
}

AudioStatus PulseConnection::connectLocked(pulse::Context& connection) {
    if (pa_threaded_mainloop_in_thread(m_loop.get())) {
        return pulseError(PA_ERR_BADSTATE); // waiting here would wait for ourselves
    }
    if (m_context && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get()))) {
        dropContextLocked(); // the server went away; a new connection finds it again once it is back
    }
    if (!m_context) {
        if (const AudioStatus status = openContextLocked()) {
            return settleConnectLocked(status);
        }
    }
    // Another thread may drop a failed context while we wait; our reference keeps this one valid.
    pulse::Context context = pulse::retain(m_context.get());
    const bool settled = waitLocked(
        [&context] {
            const pa_context_state_t state = pa_context_get_state(context.get());
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        kServerTimeoutMs);
    if (settled && pa_context_get_state(context.get()) == PA_CONTEXT_READY) {
        connection = std::move(context);
        return settleConnectLocked(kAudioNoError);
    }
    const int error = settled ? pa_context_errno(context.get()) : PA_ERR_TIMEOUT;
    if (m_context == context) {
        dropContextLocked();
    }
    return settleConnectLocked(pulseError(error != 0 ? error : PA_ERR_CONNECTIONREFUSED));
}

pa_context* PulseConnection::readyContextLocked(AudioStatus& status) const {
    if (m_context && pa_context_get_state(m_context.get()) == PA_CONTEXT_READY) {
        status = kAudioNoError;
        return m_context.get();
    }
    status = m_lastConnectStatus.value_or(kAudioNoError) != kAudioNoError ? *m_lastConnectStatus
                                                                          : pulseError(PA_ERR_BADSTATE);
    return nullptr;
}

AudioStatus PulseConnection::querySourcesLocked() {
    pulse::Context context;
    if (const AudioStatus status = connectLocked(context)) {
        m_sources.clear();
        return status;
    }
    struct Query {
        PulseConnection* connection;
        std::vector<PulseSource> sources;
        bool done = false;
        int error = 0;
    } query{this, {}};
    // Everything a listing and a capture need comes with the one answer, so that listing N sources
    // costs one round trip, not one per source.
    const pulse::Operation operation(pa_context_get_source_info_list(
        context.get(),
        [](pa_context* c, const pa_source_info* info, int eol, void* userdata) {
            auto* q = static_cast<Query*>(userdata);
            if (eol < 0) {
                q->error = pa_context_errno(c);
            }
            if (eol != 0) {
                q->done = true;
                q->connection->signalLocked();
                return;
            }
            if (info == nullptr || info->name == nullptr || info->sample_spec.channels < 1) {
                return;
            }
            PulseSource source;
            source.name = QByteArray(info->name);
            if (info->description != nullptr) {
                source.description = QString::fromUtf8(info->description);
            }
            source.sampleSpec = info->sample_spec;
            source.channelMap = info->channel_map;
            source.id = deviceIdForSourceName(source.name);
            source.traits = traitsOf(*info);
            const bool taken = std::any_of(q->sources.begin(), q->sources.end(),
                                           [&source](const PulseSource& s) { return s.id == source.id; });
            if (!taken) {
                q->sources.push_back(std::move(source));
            }
        },
        &query));
    if (!operation) {
        m_sources.clear();
        return pulseError(pa_context_errno(context.get()));
    }
    // A connection that fails meanwhile cancels the operation instead of answering it.
    const bool finished = waitLocked(
        [&query, &operation] {
            return query.done || pa_operation_get_state(operation.get()) != PA_OPERATION_RUNNING;
        },
        kServerTimeoutMs);
    if (pa_operation_get_state(operation.get()) == PA_OPERATION_RUNNING) {
        pa_operation_cancel(operation.get());
    }
    if (!finished || !query.done || query.error != 0) {
        m_sources.clear();
        const int error = !finished          ? PA_ERR_TIMEOUT
                          : query.error != 0 ? query.error
                                             : pa_context_errno(context.get());
        return pulseError(error != 0 ? error : PA_ERR_CONNECTIONTERMINATED);
    }
    m_sources = std::move(query.sources);
    return kAudioNoError;
}

const PulseSource* PulseConnection::sourceLocked(InputDeviceId id) const {
    const auto it =
        std::find_if(m_sources.begin(), m_sources.end(), [id](const PulseSource& s) { return s.id == id; });
    return it == m_sources.end() ? nullptr : &*it;
}

std::optional<std::uint32_t> PulseConnection::blockFramesLocked(InputDeviceId source) const {
    const auto it = m_blockFrames.find(source);
    return it == m_blockFrames.end() ? std::nullopt : std::optional(it->second);
}

} // namespace tavix
