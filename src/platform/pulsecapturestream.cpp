#include "pulsecapturestream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace tavix {

PulseCaptureStream::PulseCaptureStream(PulseConnection& connection) : m_connection(connection) {}

PulseCaptureStream::~PulseCaptureStream() {
    m_connection.locked([this] {
        disconnectLocked();
        return kAudioNoError;
    });
}

template <typename Change>
AudioStatus PulseCaptureStream::beforeConnect(Change&& change) {
    return m_connection.locked([&]() -> AudioStatus { return m_stream ? kAudioBadParameter : change(); });
}

AudioStatus PulseCaptureStream::enableRecording(bool enable) {
    return beforeConnect([&] {
        m_recording = enable;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::enablePlayback(bool enable) {
    // A record stream never plays; turning playback off is all there is to do.
    return beforeConnect([&] { return enable ? pulseError(PA_ERR_NOTSUPPORTED) : kAudioNoError; });
}

AudioStatus PulseCaptureStream::setSource(InputDeviceId source) {
    // From the last listing, without asking the server: a capture starts on the main thread right
    // after a listing, and must not wait for a server that may hang.
    return beforeConnect([&] {
        const PulseSource* listed = m_connection.sourceLocked(source);
        if (listed == nullptr) {
            AudioStatus status = kAudioNoError;
            return m_connection.readyContextLocked(status) != nullptr ? pulseError(PA_ERR_NOENTITY) : status;
        }
        m_source = *listed;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::sourceSpec(SampleSpec& spec) {
    return m_connection.locked([&] {
        if (!m_source) {
            return kAudioBadParameter;
        }
        // The server converts whatever the hardware delivers, so the source side is described as
        // the float stream a client gets at the source's own rate and channel count.
        spec = SampleSpec{SampleFormat::float32, double(m_source->sampleSpec.rate),
                          m_source->sampleSpec.channels};
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::setClientSpec(const SampleSpec& spec) {
    return beforeConnect([&] {
        const bool rateIsWhole = std::isfinite(spec.rate) && spec.rate >= 1 &&
                                 spec.rate <= double(PA_RATE_MAX) && spec.rate == std::floor(spec.rate);
        if (spec.format != SampleFormat::float32 || spec.channels == 0 || spec.channels > PA_CHANNELS_MAX ||
            !rateIsWhole) {
            return pulseError(PA_ERR_NOTSUPPORTED);
        }
        m_clientSpec = spec;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::setMaximumBlockFrames(std::uint32_t frames) {
    return beforeConnect([&] {
        if (frames == 0) {
            return kAudioBadParameter;
        }
        m_maximumBlockFrames = frames;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::setCallback(CaptureCallback callback, void* userData) {
    return beforeConnect([&] {
        m_callback = callback;
        m_userData = userData;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::connect() {
    return m_connection.locked([this]() -> AudioStatus {
        if (!m_recording || !m_source || !m_clientSpec) {
            return kAudioBadParameter;
        }
        if (m_stream) {
            return kAudioNoError;
        }
        // Only an existing connection: asking for the stream must not wait for the server.
        AudioStatus status = kAudioNoError;
        pa_context* context = m_connection.readyContextLocked(status);
        if (context == nullptr) {
            return status;
        }
        pa_sample_spec sampleSpec{};
        sampleSpec.format = PA_SAMPLE_FLOAT32LE;
        sampleSpec.rate = std::uint32_t(m_clientSpec->rate);
        sampleSpec.channels = std::uint8_t(m_clientSpec->channels);
        // The source's own channel map, so that the server hands its channels over without remixing.
        const pa_channel_map* map =
            m_source->channelMap.channels == sampleSpec.channels ? &m_source->channelMap : nullptr;
        m_stream.reset(pa_stream_new(context, "Timecode input", &sampleSpec, map));
        if (!m_stream) {
            return pulseError(pa_context_errno(context));
        }
        const std::uint32_t bytesPerFrame = m_clientSpec->channels * m_clientSpec->bytesPerSample();
        m_blockFrames =
            std::min(m_connection.blockFramesLocked(m_source->id).value_or(1024), m_maximumBlockFrames);
        m_staging.assign(std::size_t(m_blockFrames) * bytesPerFrame, std::byte{});
        m_stagedFrames = 0;
        pa_stream_set_state_callback(m_stream.get(), &PulseCaptureStream::onState, this);
        pa_stream_set_read_callback(m_stream.get(), &PulseCaptureStream::onRead, this);
        pa_buffer_attr attributes;
        attributes.maxlength = std::uint32_t(-1);
        attributes.tlength = std::uint32_t(-1);
        attributes.prebuf = std::uint32_t(-1);
        attributes.minreq = std::uint32_t(-1);
        attributes.fragsize = m_blockFrames * bytesPerFrame;
        // Fixed to the chosen source: if it goes away the stream ends (and the client notices) rather
        // than being moved silently to some other input. Not corked: uncorking would have to wait
        // for the stream to be ready; until start() the read callback lets the audio go.
        const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
        if (pa_stream_connect_record(m_stream.get(), m_source->name.constData(), &attributes, flags) < 0) {
            const int error = pa_context_errno(context);
            disconnectLocked();
            return pulseError(error);
        }
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::start() {
    return m_connection.locked([this]() -> AudioStatus {
        if (!m_stream) {
            return kAudioBadParameter;
        }
        // The server may still be making the stream; one it has refused or ended cannot start.
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get()))) {
            const int error = pa_context_errno(pa_stream_get_context(m_stream.get()));
            return pulseError(error != 0 ? error : PA_ERR_BADSTATE);
        }
        m_stagedFrames = 0; // a partial block from before a stop is stale
        m_started = true;
        return kAudioNoError;
    });
}

AudioStatus PulseCaptureStream::read(std::uint32_t frameCount, float* destination,
                                     std::size_t capacitySamples) {
    // Only ever called from inside the capture callback, on the loop's thread with the lock held.
    if (m_pending == nullptr || !m_clientSpec || frameCount > m_pendingFrames || destination == nullptr) {
        return kAudioBadParameter;
    }
    const std::size_t samples = std::size_t(frameCount) * m_clientSpec->channels;
    if (capacitySamples < samples) {
        return kAudioBadParameter;
    }
    std::memcpy(destination, m_pending, samples * sizeof(float));
    return kAudioNoError;
}

AudioStatus PulseCaptureStream::stop() {
    // Read callbacks run with the loop locked, so once we hold the lock none is running, and with
    // `m_started` cleared none will call the capture callback again.
    return m_connection.locked([this] {
        m_started = false;
        if (m_stream && pa_stream_get_state(m_stream.get()) == PA_STREAM_READY) {
            const pulse::Operation corking(pa_stream_cork(m_stream.get(), 1, nullptr, nullptr));
        }
        return kAudioNoError;
    });
}

void PulseCaptureStream::disconnectLocked() {
    m_started = false;
    if (!m_stream) {
        return;
    }
    pa_stream_set_state_callback(m_stream.get(), nullptr, nullptr);
    pa_stream_set_read_callback(m_stream.get(), nullptr, nullptr);
    if (PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get()))) {
        pa_stream_disconnect(m_stream.get());
    }
    m_stream.reset();
}

AudioStatus PulseCaptureStream::disconnect() {
    return m_connection.locked([this] {
        disconnectLocked();
        return kAudioNoError;
    });
}

bool PulseCaptureStream::isRunning() {
    bool running = false;
    m_connection.locked([&] {
        running = m_started && m_stream && PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream.get()));
        return kAudioNoError;
    });
    return running;
}

void PulseCaptureStream::onState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseCaptureStream*>(userdata);
    self->m_connection.signalLocked();
    // Its source went away, or the server: whoever watches learns at once, not at its next check.
    if (self->m_started && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
        self->m_connection.notifyWatchersLocked();
    }
}

void PulseCaptureStream::onRead(pa_stream* stream, std::size_t, void* userdata) {
    auto* self = static_cast<PulseCaptureStream*>(userdata);
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
        if (data != nullptr && self->m_started && self->m_callback != nullptr) {
            self->deliver(static_cast<const std::byte*>(data), bytes);
        }
        pa_stream_drop(stream);
    }
}

void PulseCaptureStream::deliver(const std::byte* data, std::size_t bytes) {
    // The server keeps record fragments whole frames long.
    const std::size_t bytesPerFrame = std::size_t(m_clientSpec->channels) * m_clientSpec->bytesPerSample();
    std::size_t frames = bytes / bytesPerFrame;
    // Like a hardware device, hand over blocks of the requested size: a larger read is split, never
    // dropped for its size, and small reads (a monitor follows the latency of whatever plays into
    // its sink, down to a few frames) are gathered, so that the client's per-block work does not
    // run hundreds of times a second.
    while (frames > 0 && m_started) {
        if (m_stagedFrames == 0 && frames >= m_blockFrames) {
            callOnce(data, m_blockFrames);
            data += std::size_t(m_blockFrames) * bytesPerFrame;
            frames -= m_blockFrames;
            continue;
        }
        const auto taken = std::uint32_t(std::min<std::size_t>(frames, m_blockFrames - m_stagedFrames));
        std::memcpy(m_staging.data() + std::size_t(m_stagedFrames) * bytesPerFrame, data,
                    taken * bytesPerFrame);
        m_stagedFrames += taken;
        data += std::size_t(taken) * bytesPerFrame;
        frames -= taken;
        if (m_stagedFrames == m_blockFrames) {
            m_stagedFrames = 0;
            callOnce(m_staging.data(), m_blockFrames);
        }
    }
}

void PulseCaptureStream::callOnce(const std::byte* block, std::uint32_t frames) {
    m_pending = block;
    m_pendingFrames = frames;
    CaptureTimestamp time;
    time.framePosition = m_framesDelivered;
    time.steadyNs = std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count());
    m_callback(m_userData, frames, time);
    m_pending = nullptr;
    m_pendingFrames = 0;
    m_framesDelivered += frames;
}

} // namespace tavix
