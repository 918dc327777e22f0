#include "pulseaudiohal.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <utility>

namespace tavix {

namespace {

constexpr int kServerTimeoutMs = 5000;
constexpr std::uint32_t kDefaultBufferFrames = 1024;
constexpr std::uint32_t kDefaultMaximumFramesPerSlice = 4096;

AudioStatus pulseError(int error) {
    return AudioStatus(-(error != 0 ? error : PA_ERR_UNKNOWN));
}

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

} // namespace

struct PulseAudioHal::Source {
    QByteArray name;
    std::optional<QString> description;
    pa_sample_spec sampleFormat{};
    pa_channel_map map{};
    AudioDeviceID id = 0;
};

/// A counted reference to a connection. Waits release the loop's lock, and meanwhile another
/// thread may drop a failed connection; the reference keeps it valid until we are done with it.
/// Made and released with the loop locked.
class PulseAudioHal::ContextRef {
public:
    ContextRef() = default;
    explicit ContextRef(pa_context* context) : m_context(context ? pa_context_ref(context) : nullptr) {}
    ~ContextRef() {
        if (m_context != nullptr) {
            pa_context_unref(m_context);
        }
    }
    ContextRef(ContextRef&& other) noexcept : m_context(std::exchange(other.m_context, nullptr)) {}
    ContextRef& operator=(ContextRef&& other) noexcept {
        std::swap(m_context, other.m_context);
        return *this;
    }
    pa_context* get() const { return m_context; }

private:
    pa_context* m_context = nullptr;
};

class PulseAudioHal::LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

class PulseAudioHal::Unit : public AudioUnitInstance {
public:
    PulseAudioHal* hal = nullptr;
    bool inputEnabled = false;
    std::optional<Source> source;
    std::optional<AudioStreamBasicDescription> clientFormat;
    std::uint32_t maximumFramesPerSlice = kDefaultMaximumFramesPerSlice;
    std::uint32_t blockFrames = kDefaultBufferFrames;
    AudioInputCallback callback = nullptr;
    void* refCon = nullptr;
    pa_stream* stream = nullptr;
    bool started = false;
    // Set by the read callback around each input callback, for render().
    const std::byte* pending = nullptr;
    std::uint32_t pendingFrames = 0;
    std::uint64_t framesDelivered = 0;
    // Small reads gathered into one block; allocated when the stream is made, not on the audio thread.
    std::vector<std::byte> staging;
    std::uint32_t stagedFrames = 0;

    static void onStreamState(pa_stream* stream, void* userdata);
    static void onRead(pa_stream* stream, std::size_t bytes, void* userdata);
    void deliver(const std::byte* data, std::size_t bytes);
    void callOnce(const std::byte* block, std::uint32_t frames);
};

// Device ids are stored in clock settings, so they must survive a server restart or a device
// being plugged in again; the server's source index does neither. The id is therefore the POSIX
// cksum CRC of the source's name (the name, not the description): for example
//   printf %s alsa_input.usb-Focusrite-00.analog-stereo | cksum
// prints the id first. Two names with the same CRC are unlikely; the second of them is not listed.
AudioDeviceID PulseAudioHal::deviceIDForSourceName(const QByteArray& sourceName) {
    std::uint32_t crc = 0;
    for (const char c : sourceName) {
        crc = (crc << 8) ^ kCksumTable[((crc >> 24) ^ std::uint8_t(c)) & 0xFF];
    }
    for (auto length = std::uint64_t(sourceName.size()); length != 0; length >>= 8) {
        crc = (crc << 8) ^ kCksumTable[((crc >> 24) ^ (length & 0xFF)) & 0xFF];
    }
    return ~crc;
}

PulseAudioHal::PulseAudioHal() {
    m_loop = pa_threaded_mainloop_new();
    if (m_loop == nullptr) {
        return;
    }
    pa_threaded_mainloop_set_name(m_loop, "tavix-audio");
    if (pa_threaded_mainloop_start(m_loop) < 0) {
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

PulseAudioHal::~PulseAudioHal() {
    if (m_loop == nullptr) {
        return;
    }
    {
        LoopLock lock(m_loop);
        for (Unit* unit : m_units) {
            uninitializeLocked(unit);
        }
        dropContextLocked();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    for (Unit* unit : m_units) {
        delete unit;
    }
}

void PulseAudioHal::onContextState(pa_context*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(userdata), 0);
}

bool PulseAudioHal::waitLocked(const std::function<bool()>& done, int timeoutMs) {
    struct Timer {
        pa_threaded_mainloop* loop;
        bool expired = false;
    } timer{m_loop};
    timeval deadline{};
    pa_gettimeofday(&deadline);
    pa_timeval_add(&deadline, pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_loop);
    pa_time_event* event = api->time_new(
        api, &deadline,
        [](pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
            auto* t = static_cast<Timer*>(userdata);
            t->expired = true;
            pa_threaded_mainloop_signal(t->loop, 0);
        },
        &timer);
    bool held = done();
    while (!held && !timer.expired) {
        pa_threaded_mainloop_wait(m_loop);
        held = done();
    }
    api->time_free(event);
    return held;
}

void PulseAudioHal::dropContextLocked() {
    if (m_context == nullptr) {
        return;
    }
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

AudioStatus PulseAudioHal::connectLocked(ContextRef& connection) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    if (pa_threaded_mainloop_in_thread(m_loop)) {
        return pulseError(PA_ERR_BADSTATE); // waiting here would wait for ourselves
    }
    if (m_context != nullptr && !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
        dropContextLocked(); // the server went away; a new connection finds it again once it is back
    }
    if (m_context == nullptr) {
        pa_proplist* properties = pa_proplist_new();
        pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Tavix");
        pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "tavix");
        m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), "Tavix", properties);
        pa_proplist_free(properties);
        if (m_context == nullptr) {
            return pulseError(PA_ERR_INTERNAL);
        }
        pa_context_set_state_callback(m_context, &PulseAudioHal::onContextState, m_loop);
        // No autospawn: a server that is not running is reported, not started behind the user's back.
        if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            const int error = pa_context_errno(m_context);
            dropContextLocked();
            return pulseError(error);
        }
    }
    ContextRef context(m_context);
    const bool settled = waitLocked(
        [&context] {
            const pa_context_state_t state = pa_context_get_state(context.get());
            return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
        },
        kServerTimeoutMs);
    if (settled && pa_context_get_state(context.get()) == PA_CONTEXT_READY) {
        connection = std::move(context);
        return kAudioNoError;
    }
    const int error = settled ? pa_context_errno(context.get()) : PA_ERR_TIMEOUT;
    if (m_context == context.get()) {
        dropContextLocked();
    }
    return pulseError(error != 0 ? error : PA_ERR_CONNECTIONREFUSED);
}

AudioStatus PulseAudioHal::querySourcesLocked(std::vector<Source>& sources) {
    sources.clear();
    ContextRef context;
    if (const AudioStatus status = connectLocked(context)) {
        return status;
    }
    struct Query {
        PulseAudioHal* hal;
        std::vector<Source>* sources;
        bool done = false;
        int error = 0;
    } query{this, &sources};
    pa_operation* operation = pa_context_get_source_info_list(
        context.get(),
        [](pa_context* c, const pa_source_info* info, int eol, void* userdata) {
            auto* q = static_cast<Query*>(userdata);
            if (eol < 0) {
                q->error = pa_context_errno(c);
            }
            if (eol != 0) {
                q->done = true;
                pa_threaded_mainloop_signal(q->hal->m_loop, 0);
                return;
            }
            if (info == nullptr || info->name == nullptr || info->sample_spec.channels < 1) {
                return;
            }
            Source source;
            source.name = QByteArray(info->name);
            if (info->description != nullptr) {
                source.description = QString::fromUtf8(info->description);
            }
            source.sampleFormat = info->sample_spec;
            source.map = info->channel_map;
            source.id = deviceIDForSourceName(source.name);
            const bool taken = std::any_of(q->sources->begin(), q->sources->end(),
                                           [&source](const Source& s) { return s.id == source.id; });
            if (!taken) {
                q->sources->push_back(std::move(source));
            }
        },
        &query);
    if (operation == nullptr) {
        return pulseError(pa_context_errno(context.get()));
    }
    // A connection that fails meanwhile cancels the operation instead of answering it.
    const bool finished = waitLocked(
        [&query, operation] {
            return query.done || pa_operation_get_state(operation) != PA_OPERATION_RUNNING;
        },
        kServerTimeoutMs);
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
        pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    if (!finished || !query.done || query.error != 0) {
        sources.clear();
        const int error = !finished          ? PA_ERR_TIMEOUT
                          : query.error != 0 ? query.error
                                             : pa_context_errno(context.get());
        return pulseError(error != 0 ? error : PA_ERR_CONNECTIONTERMINATED);
    }
    return kAudioNoError;
}

AudioStatus PulseAudioHal::findSourceLocked(AudioDeviceID device, Source& source) {
    std::vector<Source> sources;
    if (const AudioStatus status = querySourcesLocked(sources)) {
        return status;
    }
    const auto it =
        std::find_if(sources.begin(), sources.end(), [device](const Source& s) { return s.id == device; });
    if (it == sources.end()) {
        return pulseError(PA_ERR_NOENTITY);
    }
    source = *it;
    return kAudioNoError;
}

PulseAudioHal::Unit* PulseAudioHal::unitLocked(AudioUnitInstance* unit) const {
    const auto it = std::find(m_units.begin(), m_units.end(), unit);
    return it == m_units.end() ? nullptr : *it;
}

AudioAuthorizationStatus PulseAudioHal::authorizationStatus() {
    if (m_loop == nullptr) {
        return AudioAuthorizationStatus::authorized; // the listing reports the failure
    }
    LoopLock lock(m_loop);
    // Only a refusal for lack of permission (the server's or a sandbox portal's) means no access;
    // a server that is not running is a failure of the device list, reported there.
    ContextRef context;
    return connectLocked(context) == pulseError(PA_ERR_ACCESS) ? AudioAuthorizationStatus::denied
                                                               : AudioAuthorizationStatus::authorized;
}

AudioStatus PulseAudioHal::getDeviceListSize(std::uint32_t& byteSize) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    LoopLock lock(m_loop);
    std::vector<Source> sources;
    const AudioStatus status = querySourcesLocked(sources);
    byteSize = std::uint32_t(sources.size() * sizeof(AudioDeviceID));
    return status;
}

AudioStatus PulseAudioHal::getDeviceList(std::uint32_t& ioByteSize, AudioDeviceID* ids) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    LoopLock lock(m_loop);
    std::vector<Source> sources;
    if (const AudioStatus status = querySourcesLocked(sources)) {
        return status;
    }
    const std::size_t count = std::min<std::size_t>(ioByteSize / sizeof(AudioDeviceID), sources.size());
    for (std::size_t i = 0; i < count; ++i) {
        ids[i] = sources[i].id;
    }
    ioByteSize = std::uint32_t(count * sizeof(AudioDeviceID));
    return kAudioNoError;
}

AudioStatus PulseAudioHal::getInputStreamConfigurationSize(AudioDeviceID device, std::uint32_t& byteSize) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    LoopLock lock(m_loop);
    Source source;
    if (const AudioStatus status = findSourceLocked(device, source)) {
        return status;
    }
    byteSize = audioBufferListSize(1); // a source is one interleaved stream
    return kAudioNoError;
}

AudioStatus PulseAudioHal::getInputStreamConfiguration(AudioDeviceID device, std::uint32_t& ioByteSize,
                                                       void* data) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    if (data == nullptr || ioByteSize < audioBufferListSize(1)) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Source source;
    if (const AudioStatus status = findSourceLocked(device, source)) {
        return status;
    }
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = source.sampleFormat.channels;
    std::memcpy(data, &list, sizeof list);
    ioByteSize = sizeof list;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::getDeviceName(AudioDeviceID device, std::optional<QString>& name) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    LoopLock lock(m_loop);
    Source source;
    if (const AudioStatus status = findSourceLocked(device, source)) {
        return status;
    }
    name = source.description;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::setDeviceBufferFrameSize(AudioDeviceID device, std::uint32_t frames) {
    if (m_loop == nullptr) {
        return pulseError(PA_ERR_INTERNAL);
    }
    if (frames == 0) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Source source;
    if (const AudioStatus status = findSourceLocked(device, source)) {
        return status;
    }
    // Taken up by the next record stream on this source, as its fragment size.
    m_bufferFrames[device] = frames;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::findCaptureComponent(AudioComponentRef& component) {
    component = m_loop != nullptr ? this : nullptr;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::newUnit(AudioComponentRef component, AudioUnitInstance*& unit) {
    unit = nullptr;
    if (component != this || m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    auto* created = new Unit;
    created->hal = this;
    m_units.push_back(created);
    unit = created;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::enableInput(AudioUnitInstance* unit, std::uint32_t enable) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || u->stream != nullptr) {
        return kAudioBadParameter;
    }
    u->inputEnabled = enable != 0;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::enableOutput(AudioUnitInstance* unit, std::uint32_t enable) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    // These units only capture; disabling their output is all there is to do.
    return unitLocked(unit) != nullptr && enable == 0 ? kAudioNoError : pulseError(PA_ERR_NOTSUPPORTED);
}

AudioStatus PulseAudioHal::setCurrentDevice(AudioUnitInstance* unit, AudioDeviceID device) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || u->stream != nullptr) {
        return kAudioBadParameter;
    }
    Source source;
    if (const AudioStatus status = findSourceLocked(device, source)) {
        return status;
    }
    u->source = std::move(source);
    return kAudioNoError;
}

AudioStatus PulseAudioHal::getDeviceFormat(AudioUnitInstance* unit, AudioStreamBasicDescription& format) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || !u->source) {
        return kAudioBadParameter;
    }
    // The server converts whatever the hardware delivers, so the device side is described as the
    // float stream a client gets at the source's own rate and channel count.
    const std::uint32_t channels = u->source->sampleFormat.channels;
    format = AudioStreamBasicDescription{};
    format.mSampleRate = double(u->source->sampleFormat.rate);
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    format.mBytesPerPacket = format.mBytesPerFrame = 4 * channels;
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::setClientFormat(AudioUnitInstance* unit,
                                           const AudioStreamBasicDescription& format) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    const bool rateIsWhole = std::isfinite(format.mSampleRate) && format.mSampleRate >= 1 &&
                             format.mSampleRate <= double(PA_RATE_MAX) &&
                             format.mSampleRate == std::floor(format.mSampleRate);
    if (u == nullptr || u->stream != nullptr || format.mFormatID != kAudioFormatLinearPCM ||
        (format.mFormatFlags & kAudioFormatFlagIsFloat) == 0 ||
        (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0 || format.mBitsPerChannel != 32 ||
        format.mChannelsPerFrame == 0 || format.mChannelsPerFrame > PA_CHANNELS_MAX ||
        format.mBytesPerFrame != 4 * format.mChannelsPerFrame || !rateIsWhole) {
        return pulseError(PA_ERR_NOTSUPPORTED);
    }
    u->clientFormat = format;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::setMaximumFramesPerSlice(AudioUnitInstance* unit, std::uint32_t frames) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || u->stream != nullptr || frames == 0) {
        return kAudioBadParameter;
    }
    u->maximumFramesPerSlice = frames;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::setInputCallback(AudioUnitInstance* unit, AudioInputCallback callback,
                                            void* refCon) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || u->stream != nullptr) {
        return kAudioBadParameter;
    }
    u->callback = callback;
    u->refCon = refCon;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::initializeUnit(AudioUnitInstance* unit) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || !u->inputEnabled || !u->source || !u->clientFormat) {
        return kAudioBadParameter;
    }
    if (u->stream != nullptr) {
        return kAudioNoError;
    }
    ContextRef context;
    if (const AudioStatus status = connectLocked(context)) {
        return status;
    }
    const AudioStreamBasicDescription& format = *u->clientFormat;
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_FLOAT32LE;
    sampleFormat.rate = std::uint32_t(format.mSampleRate);
    sampleFormat.channels = std::uint8_t(format.mChannelsPerFrame);
    // The source's own channel map, so that the server hands its channels over without remixing.
    const pa_channel_map* map = u->source->map.channels == sampleFormat.channels ? &u->source->map : nullptr;
    u->stream = pa_stream_new(context.get(), "Timecode input", &sampleFormat, map);
    if (u->stream == nullptr) {
        return pulseError(pa_context_errno(context.get()));
    }
    const auto requested = m_bufferFrames.find(u->source->id);
    u->blockFrames = std::min(requested != m_bufferFrames.end() ? requested->second : kDefaultBufferFrames,
                              u->maximumFramesPerSlice);
    u->staging.assign(std::size_t(u->blockFrames) * format.mBytesPerFrame, std::byte{});
    u->stagedFrames = 0;
    pa_stream_set_state_callback(u->stream, &Unit::onStreamState, u);
    pa_stream_set_read_callback(u->stream, &Unit::onRead, u);
    pa_buffer_attr attributes;
    attributes.maxlength = std::uint32_t(-1);
    attributes.tlength = std::uint32_t(-1);
    attributes.prebuf = std::uint32_t(-1);
    attributes.minreq = std::uint32_t(-1);
    attributes.fragsize = u->blockFrames * format.mBytesPerFrame;
    // Fixed to the chosen source: if it goes away the stream ends (and the client notices) rather
    // than being moved silently to some other input.
    const auto flags =
        pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE | PA_STREAM_START_CORKED);
    int error = 0;
    if (pa_stream_connect_record(u->stream, u->source->name.constData(), &attributes, flags) < 0) {
        error = pa_context_errno(context.get());
    } else {
        const bool settled = waitLocked(
            [u] {
                const pa_stream_state_t state = pa_stream_get_state(u->stream);
                return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
            },
            kServerTimeoutMs);
        if (!settled) {
            error = PA_ERR_TIMEOUT;
        } else if (pa_stream_get_state(u->stream) != PA_STREAM_READY) {
            error = pa_context_errno(context.get());
        }
    }
    if (error != 0 || pa_stream_get_state(u->stream) != PA_STREAM_READY) {
        uninitializeLocked(u);
        return pulseError(error);
    }
    return kAudioNoError;
}

AudioStatus PulseAudioHal::startUnit(AudioUnitInstance* unit) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr || u->stream == nullptr) {
        return kAudioBadParameter;
    }
    if (pa_stream_get_state(u->stream) != PA_STREAM_READY) {
        return pulseError(PA_ERR_BADSTATE);
    }
    struct Cork {
        pa_threaded_mainloop* loop;
        bool done = false;
        bool success = false;
    } cork{m_loop};
    u->stagedFrames = 0; // a partial block from before a stop is stale
    u->started = true;
    pa_operation* operation = pa_stream_cork(
        u->stream, 0,
        [](pa_stream*, int success, void* userdata) {
            auto* c = static_cast<Cork*>(userdata);
            c->done = true;
            c->success = success != 0;
            pa_threaded_mainloop_signal(c->loop, 0);
        },
        &cork);
    if (operation == nullptr) {
        u->started = false;
        return pulseError(pa_context_errno(pa_stream_get_context(u->stream)));
    }
    const bool finished = waitLocked([&cork] { return cork.done; }, kServerTimeoutMs);
    if (!finished) {
        pa_operation_cancel(operation);
    }
    pa_operation_unref(operation);
    if (!finished || !cork.success) {
        u->started = false;
        return pulseError(finished ? pa_context_errno(pa_stream_get_context(u->stream)) : PA_ERR_TIMEOUT);
    }
    return kAudioNoError;
}

AudioStatus PulseAudioHal::render(AudioUnitInstance* unit, AudioRenderActionFlags*, const AudioTimeStamp*,
                                  std::uint32_t busNumber, std::uint32_t frameCount, AudioBufferList* data) {
    // Only ever called from inside the input callback, on the loop's thread with the lock held.
    auto* u = static_cast<Unit*>(unit);
    if (u == nullptr || u->pending == nullptr || !u->clientFormat || busNumber != 1 ||
        frameCount > u->pendingFrames || data == nullptr || data->mNumberBuffers < 1 ||
        data->mBuffers[0].mData == nullptr) {
        return kAudioBadParameter;
    }
    const std::size_t bytes = std::size_t(frameCount) * u->clientFormat->mBytesPerFrame;
    if (data->mBuffers[0].mDataByteSize < bytes) {
        return kAudioBadParameter;
    }
    std::memcpy(data->mBuffers[0].mData, u->pending, bytes);
    data->mBuffers[0].mDataByteSize = std::uint32_t(bytes);
    return kAudioNoError;
}

AudioStatus PulseAudioHal::stopUnit(AudioUnitInstance* unit) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    // Read callbacks run with the loop locked, so once we hold the lock none is running, and with
    // `started` cleared none will call the input callback again.
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    u->started = false;
    if (u->stream != nullptr && pa_stream_get_state(u->stream) == PA_STREAM_READY) {
        if (pa_operation* operation = pa_stream_cork(u->stream, 1, nullptr, nullptr)) {
            pa_operation_unref(operation);
        }
    }
    return kAudioNoError;
}

AudioStatus PulseAudioHal::uninitializeLocked(Unit* unit) {
    unit->started = false;
    if (unit->stream != nullptr) {
        pa_stream_set_state_callback(unit->stream, nullptr, nullptr);
        pa_stream_set_read_callback(unit->stream, nullptr, nullptr);
        if (PA_STREAM_IS_GOOD(pa_stream_get_state(unit->stream))) {
            pa_stream_disconnect(unit->stream);
        }
        pa_stream_unref(unit->stream);
        unit->stream = nullptr;
    }
    return kAudioNoError;
}

AudioStatus PulseAudioHal::uninitializeUnit(AudioUnitInstance* unit) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    return u == nullptr ? kAudioBadParameter : uninitializeLocked(u);
}

AudioStatus PulseAudioHal::disposeUnit(AudioUnitInstance* unit) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    uninitializeLocked(u);
    m_units.erase(std::find(m_units.begin(), m_units.end(), u));
    delete u;
    return kAudioNoError;
}

AudioStatus PulseAudioHal::getIsRunning(AudioUnitInstance* unit, std::uint32_t& isRunning) {
    if (m_loop == nullptr) {
        return kAudioBadParameter;
    }
    LoopLock lock(m_loop);
    Unit* u = unitLocked(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    isRunning =
        u->started && u->stream != nullptr && pa_stream_get_state(u->stream) == PA_STREAM_READY ? 1 : 0;
    return kAudioNoError;
}

void PulseAudioHal::Unit::onStreamState(pa_stream*, void* userdata) {
    pa_threaded_mainloop_signal(static_cast<Unit*>(userdata)->hal->m_loop, 0);
}

void PulseAudioHal::Unit::onRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* unit = static_cast<Unit*>(userdata);
    for (;;) {
        const std::size_t readable = pa_stream_readable_size(stream);
        if (readable == std::size_t(-1) || readable == 0) {
            return;
        }
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) {
            return;
        }
        // A hole (data null) is audio the server lost; there is nothing to hand over for it.
        if (data != nullptr && unit->started && unit->callback != nullptr) {
            unit->deliver(static_cast<const std::byte*>(data), bytes);
        }
        pa_stream_drop(stream);
    }
}

void PulseAudioHal::Unit::deliver(const std::byte* data, std::size_t bytes) {
    // The server keeps record fragments whole frames long.
    const std::size_t bytesPerFrame = clientFormat->mBytesPerFrame;
    std::size_t frames = bytes / bytesPerFrame;
    // Like a hardware device, hand over blocks of the requested buffer size: a larger read is
    // split, never dropped for its size, and small reads (a monitor follows the latency of whatever
    // plays into its sink, down to a few frames) are gathered, so that the client's per-block work
    // does not run hundreds of times a second.
    while (frames > 0 && started) {
        if (stagedFrames == 0 && frames >= blockFrames) {
            callOnce(data, blockFrames);
            data += std::size_t(blockFrames) * bytesPerFrame;
            frames -= blockFrames;
            continue;
        }
        const auto taken = std::uint32_t(std::min<std::size_t>(frames, blockFrames - stagedFrames));
        std::memcpy(staging.data() + std::size_t(stagedFrames) * bytesPerFrame, data, taken * bytesPerFrame);
        stagedFrames += taken;
        data += std::size_t(taken) * bytesPerFrame;
        frames -= taken;
        if (stagedFrames == blockFrames) {
            stagedFrames = 0;
            callOnce(staging.data(), blockFrames);
        }
    }
}

void PulseAudioHal::Unit::callOnce(const std::byte* block, std::uint32_t frames) {
    pending = block;
    pendingFrames = frames;
    AudioTimeStamp stamp;
    stamp.mSampleTime = double(framesDelivered);
    stamp.mHostTime = std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
    AudioRenderActionFlags flags = 0;
    callback(refCon, &flags, &stamp, 1, frames, nullptr);
    pending = nullptr;
    pendingFrames = 0;
    framesDelivered += frames;
}

} // namespace tavix
