#include "scriptedaudiobackend.h"

#include <algorithm>
#include <chrono>
#include <tuple>
#include <type_traits>
#include <thread>

namespace tavix::test {

class ScriptedAudioBackend::Stream final : public CaptureStream {
public:
    explicit Stream(ScriptedAudioBackend& backend) : m_backend(backend) {}
    ~Stream() override {
        std::lock_guard callbackLock(m_backend.m_callbackMutex);
        std::lock_guard lock(m_backend.m_mutex);
        m_backend.m_streams.erase(std::find(m_backend.m_streams.begin(), m_backend.m_streams.end(), this));
    }

    AudioStatus enableRecording(bool enable) override {
        return step(ScriptedAudioStep::enableRecording, [&] { recording = enable; });
    }
    AudioStatus enablePlayback(bool enable) override {
        // Record only: there is no playback to enable.
        return step(ScriptedAudioStep::enablePlayback,
                    [&] { return enable ? kAudioBadParameter : kAudioNoError; });
    }
    AudioStatus setSource(InputDeviceId source) override {
        return step(ScriptedAudioStep::setSource, [&] {
            if (m_backend.findDevice(source) == nullptr) {
                return kAudioBadParameter;
            }
            device = source;
            return kAudioNoError;
        });
    }
    AudioStatus sourceSpec(SampleSpec& spec) override {
        return step(ScriptedAudioStep::sourceSpec, [&] {
            const ScriptedAudioDevice* d = device ? m_backend.findDevice(*device) : nullptr;
            if (d == nullptr) {
                return kAudioBadParameter;
            }
            spec = SampleSpec{SampleFormat::float32, d->sampleRate, d->channels};
            return kAudioNoError;
        });
    }
    AudioStatus setClientSpec(const SampleSpec& spec) override {
        return step(ScriptedAudioStep::setClientSpec, [&] {
            if (spec.format != SampleFormat::float32 || spec.channels == 0) {
                return kAudioBadParameter;
            }
            clientSpec = spec;
            m_backend.m_lastClientSpec = spec;
            return kAudioNoError;
        });
    }
    AudioStatus setMaximumBlockFrames(std::uint32_t frames) override {
        return step(ScriptedAudioStep::setMaximumBlockFrames,
                    [&] { m_backend.m_lastMaximumBlockFrames = frames; });
    }
    AudioStatus setCallback(CaptureCallback function, void* data) override {
        return step(ScriptedAudioStep::setCallback,
                    [&] { std::tie(callback, userData) = std::tie(function, data); });
    }
    AudioStatus connect() override {
        return step(ScriptedAudioStep::connectStream, [&] {
            if (!recording || !device || !clientSpec) {
                return kAudioBadParameter;
            }
            connected = true;
            return kAudioNoError;
        });
    }
    AudioStatus start() override {
        return step(ScriptedAudioStep::startStream, [&] {
            if (!connected) {
                return kAudioBadParameter;
            }
            started = true;
            return kAudioNoError;
        });
    }
    AudioStatus read(std::uint32_t frameCount, float* destination, std::size_t capacitySamples) override {
        const SampleSource* source = nullptr;
        std::uint64_t firstFrame = 0;
        std::uint32_t channels = 0;
        {
            std::lock_guard lock(m_backend.m_mutex);
            if (const AudioStatus status = m_backend.m_statuses.at(std::size_t(ScriptedAudioStep::read))) {
                return status;
            }
            if (!clientSpec || destination == nullptr ||
                capacitySamples < std::size_t(frameCount) * clientSpec->channels) {
                return kAudioBadParameter;
            }
            // The callback lock, held by the delivering thread, keeps the source from changing.
            source = &m_backend.m_sampleSource;
            firstFrame = framesDelivered;
            channels = clientSpec->channels;
        }
        std::fill(destination, destination + std::size_t(frameCount) * channels, 0.0f);
        if (*source) {
            (*source)(firstFrame, frameCount, channels, destination);
        }
        return kAudioNoError;
    }
    AudioStatus stop() override {
        // Waits for a callback in progress, as a real stream does.
        std::lock_guard callbackLock(m_backend.m_callbackMutex);
        return step(ScriptedAudioStep::stopStream, [&] { started = false; });
    }
    AudioStatus disconnect() override {
        return step(ScriptedAudioStep::disconnectStream, [&] { started = connected = false; });
    }
    bool isRunning() override {
        std::lock_guard lock(m_backend.m_mutex);
        return started;
    }

    // Guarded by the backend's mutex.
    std::optional<InputDeviceId> device;
    bool recording = false;
    std::optional<SampleSpec> clientSpec;
    CaptureCallback callback = nullptr;
    void* userData = nullptr;
    bool connected = false;
    bool started = false;
    std::uint64_t framesDelivered = 0;

private:
    /// Logs the call and, unless a status is scripted for it, does `work`; work that returns
    /// nothing succeeds.
    template <typename Work>
    AudioStatus step(ScriptedAudioStep which, Work&& work) {
        std::lock_guard lock(m_backend.m_mutex);
        if (const AudioStatus status = m_backend.enter(which)) {
            return status;
        }
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            return kAudioNoError;
        } else {
            return work();
        }
    }

    ScriptedAudioBackend& m_backend;
};

ScriptedAudioBackend::ScriptedAudioBackend() = default;

ScriptedAudioBackend::~ScriptedAudioBackend() = default;

void ScriptedAudioBackend::setSampleSource(SampleSource source) {
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    m_sampleSource = std::move(source);
}

void ScriptedAudioBackend::setCallbackHooks(std::function<void()> before, std::function<void()> after) {
    std::lock_guard callbackLock(m_callbackMutex);
    m_beforeCallback = std::move(before);
    m_afterCallback = std::move(after);
}

bool ScriptedAudioBackend::deliverCallbacks(const std::vector<std::uint32_t>& frameCounts) {
    bool delivered = false;
    std::thread audioThread([&] {
        for (const std::uint32_t frames : frameCounts) {
            std::lock_guard callbackLock(m_callbackMutex);
            Stream* stream = nullptr;
            CaptureTimestamp time;
            {
                std::lock_guard lock(m_mutex);
                const auto it = std::find_if(m_streams.rbegin(), m_streams.rend(), [](const Stream* s) {
                    return s->started && s->callback != nullptr;
                });
                if (it == m_streams.rend()) {
                    return;
                }
                stream = *it;
                time.framePosition = stream->framesDelivered;
                time.steadyNs = std::uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                                  std::chrono::steady_clock::now().time_since_epoch())
                                                  .count());
            }
            if (m_beforeCallback) {
                m_beforeCallback();
            }
            stream->callback(stream->userData, frames, time);
            if (m_afterCallback) {
                m_afterCallback();
            }
            delivered = true;
            std::lock_guard lock(m_mutex);
            stream->framesDelivered += frames;
        }
    });
    audioThread.join();
    return delivered;
}

AudioStatus ScriptedAudioBackend::enter(ScriptedAudioStep step) {
    m_callLog.push_back(step);
    return m_statuses.at(std::size_t(step));
}

const ScriptedAudioDevice* ScriptedAudioBackend::findDevice(InputDeviceId device) const {
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [device](const auto& d) { return d.deviceID == device; });
    return it == m_devices.end() ? nullptr : &*it;
}

AudioStatus ScriptedAudioBackend::connect() {
    std::lock_guard lock(m_mutex);
    return enter(ScriptedAudioStep::connect);
}

AudioStatus ScriptedAudioBackend::listSources(std::vector<SourceInfo>& sources) {
    std::lock_guard lock(m_mutex);
    sources.clear();
    if (const AudioStatus status = enter(ScriptedAudioStep::listSources)) {
        return status;
    }
    for (const ScriptedAudioDevice& d : m_devices) {
        sources.push_back(SourceInfo{d.deviceID, d.name, d.channels, d.traits});
    }
    return kAudioNoError;
}

AudioStatus ScriptedAudioBackend::setSourceBlockFrames(InputDeviceId source, std::uint32_t) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::setSourceBlockFrames)) {
        return status;
    }
    return findDevice(source) == nullptr ? kAudioBadParameter : kAudioNoError;
}

AudioStatus ScriptedAudioBackend::newCaptureStream(std::unique_ptr<CaptureStream>& stream) {
    stream.reset(); // before locking: a stream's destructor locks too
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::newCaptureStream)) {
        return status;
    }
    if (!m_newStreamReturnsNothing) {
        auto made = std::make_unique<Stream>(*this);
        m_streams.push_back(made.get());
        stream = std::move(made);
    }
    return kAudioNoError;
}

} // namespace tavix::test
