#include "scriptedaudiobackend.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>
#include <type_traits>

namespace tavix::test {

constexpr auto okIf = [](bool good) { return good ? kAudioNoError : kAudioBadParameter; };

template <typename Work>
AudioStatus ScriptedAudioBackend::step(ScriptedAudioStep which, Work&& work) {
    std::lock_guard lock(m_mutex);
    if (which != ScriptedAudioStep::read) { // the log would allocate on the audio thread
        m_callLog.push_back(which);
    }
    if (const AudioStatus status = m_statuses.at(std::size_t(which))) {
        return status;
    }
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        return kAudioNoError;
    } else {
        return work();
    }
}

class ScriptedAudioBackend::Stream final : public CaptureStream {
public:
    explicit Stream(ScriptedAudioBackend& backend) : m_backend(backend) {}
    ~Stream() override {
        std::lock_guard callbackLock(m_backend.m_callbackMutex);
        std::lock_guard lock(m_backend.m_mutex);
        std::erase(m_backend.m_streams, this);
    }

    AudioStatus enableRecording(bool enable) override {
        return m_backend.step(Step::enableRecording, [&] { recording = enable; });
    }
    // Record only: there is no playback to enable.
    AudioStatus enablePlayback(bool enable) override {
        return m_backend.step(Step::enablePlayback, [&] { return okIf(!enable); });
    }
    AudioStatus setSource(InputDeviceId source) override {
        return m_backend.step(Step::setSource, [&] {
            const bool known = m_backend.findDevice(source) != nullptr;
            device = known ? std::optional(source) : device;
            return okIf(known);
        });
    }
    AudioStatus sourceSpec(SampleSpec& spec) override {
        return m_backend.step(Step::sourceSpec, [&] {
            const ScriptedAudioDevice* d = device ? m_backend.findDevice(*device) : nullptr;
            spec = d ? SampleSpec{SampleFormat::float32, d->sampleRate, d->channels} : spec;
            return okIf(d != nullptr);
        });
    }
    AudioStatus setClientSpec(const SampleSpec& spec) override {
        return m_backend.step(Step::setClientSpec, [&] {
            const bool usable = spec.format == SampleFormat::float32 && spec.channels > 0;
            if (usable) {
                clientSpec = m_backend.m_lastClientSpec = spec;
            }
            return okIf(usable);
        });
    }
    AudioStatus setMaximumBlockFrames(std::uint32_t frames) override {
        return m_backend.step(Step::setMaximumBlockFrames,
                              [&] { m_backend.m_lastMaximumBlockFrames = frames; });
    }
    AudioStatus setCallback(CaptureCallback function, void* data) override {
        return m_backend.step(Step::setCallback,
                              [&] { std::tie(callback, userData) = std::tie(function, data); });
    }
    AudioStatus connect() override {
        return m_backend.step(Step::connectStream,
                              [&] { return okIf(connected = recording && device && clientSpec); });
    }
    AudioStatus start() override {
        return m_backend.step(Step::startStream, [&] { return okIf(started = connected); });
    }
    AudioStatus read(std::uint32_t frameCount, float* destination, std::size_t capacitySamples) override {
        std::uint64_t firstFrame = 0;
        std::uint32_t channels = 0;
        const AudioStatus status = m_backend.step(Step::read, [&] {
            firstFrame = framesDelivered;
            channels = clientSpec ? clientSpec->channels : 0;
            return okIf(channels > 0 && destination && capacitySamples >= std::size_t(frameCount) * channels);
        });
        if (status == kAudioNoError) {
            // The callback lock, held by the delivering thread, keeps the source from changing.
            std::fill(destination, destination + std::size_t(frameCount) * channels, 0.0f);
            m_backend.m_sampleSource(firstFrame, frameCount, channels, destination);
        }
        return status;
    }
    AudioStatus stop() override {
        // Waits for a callback in progress, as a real stream does.
        std::lock_guard callbackLock(m_backend.m_callbackMutex);
        return m_backend.step(Step::stopStream, [&] { started = false; });
    }
    AudioStatus disconnect() override {
        return m_backend.step(Step::disconnectStream, [&] { started = connected = false; });
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
    using Step = ScriptedAudioStep;
    ScriptedAudioBackend& m_backend;
};

void ScriptedAudioBackend::setSampleSource(SampleSource source) {
    std::lock_guard callbackLock(m_callbackMutex);
    set(m_sampleSource, std::move(source));
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
            std::unique_lock lock(m_mutex);
            const auto it = std::find_if(m_streams.rbegin(), m_streams.rend(),
                                         [](const Stream* s) { return s->started && s->callback; });
            if (it == m_streams.rend()) {
                return;
            }
            Stream& stream = **it;
            const auto now = std::chrono::steady_clock::now().time_since_epoch();
            const CaptureTimestamp time{stream.framesDelivered,
                                        std::uint64_t(std::chrono::nanoseconds(now).count())};
            lock.unlock();
            m_beforeCallback();
            stream.callback(stream.userData, frames, time);
            m_afterCallback();
            delivered = true;
            lock.lock();
            stream.framesDelivered += frames;
        }
    });
    audioThread.join();
    return delivered;
}

const ScriptedAudioDevice* ScriptedAudioBackend::findDevice(InputDeviceId device) const {
    const auto it = std::ranges::find(m_devices, device, &ScriptedAudioDevice::deviceID);
    return it == m_devices.end() ? nullptr : &*it;
}

AudioStatus ScriptedAudioBackend::connect() {
    return step(ScriptedAudioStep::connect, [] {});
}

AudioStatus ScriptedAudioBackend::listSources(std::vector<SourceInfo>& sources) {
    sources.clear();
    return step(ScriptedAudioStep::listSources, [&] {
        for (const ScriptedAudioDevice& d : m_devices) {
            sources.push_back(SourceInfo{d.deviceID, d.name, d.channels, d.traits});
        }
    });
}

AudioStatus ScriptedAudioBackend::setSourceBlockFrames(InputDeviceId source, std::uint32_t) {
    return step(ScriptedAudioStep::setSourceBlockFrames, [&] { return okIf(findDevice(source) != nullptr); });
}

AudioStatus ScriptedAudioBackend::newCaptureStream(std::unique_ptr<CaptureStream>& stream) {
    stream.reset(); // before locking: a stream's destructor locks too
    return step(ScriptedAudioStep::newCaptureStream, [&] {
        if (!m_newStreamReturnsNothing) {
            auto made = std::make_unique<Stream>(*this);
            m_streams.push_back(made.get());
            stream = std::move(made);
        }
    });
}

} // namespace tavix::test
