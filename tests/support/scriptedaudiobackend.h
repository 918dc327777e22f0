#pragma once

#include "platform/audiobackend.h"
#include "platform/workerthread.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tavix::test {

/// One source of the scripted backend.
struct ScriptedAudioDevice {
    InputDeviceId deviceID = 0;
    /// Absent: the source has no description.
    std::optional<QString> name{};
    std::uint32_t channels = 0;
    double sampleRate = 48000;
    /// Monitor, port and form factor, as the server would tell them.
    SourceTraits traits{};
};

/// The traits of a source on a line-in port, the usual input for LTC.
inline SourceTraits lineInPort() {
    return SourceTraits{false, QStringLiteral("analog-input-linein"), PortType::line, QString()};
}

/// Every operation of the backend and its streams, for scripting statuses and reading the call log.
/// `read` is scriptable but not logged: the log would allocate on the audio thread.
// clang-format off
enum class ScriptedAudioStep { connect, listSources, setSourceBlockFrames, newCaptureStream, enableRecording,
    enablePlayback, setSource, sourceSpec, setClientSpec, setMaximumBlockFrames, setCallback, connectStream,
    startStream, read, stopStream, disconnectStream, count };
// clang-format on

/// A backend whose sources, formats and statuses a test sets, and whose capture callbacks a test
/// delivers on a thread of its own. Thread safe.
class ScriptedAudioBackend : public AudioBackend {
public:
    /// Writes the samples of `frameCount` frames starting at `firstFrame` of the stream, interleaved
    /// with `channelCount` channels. Runs on the delivering thread.
    using SampleSource = std::function<void(std::uint64_t firstFrame, std::uint32_t frameCount,
                                            std::uint32_t channelCount, float* interleaved)>;

    void setAccessGranted(bool granted) { set(m_accessGranted, granted); }
    void setDevices(std::vector<ScriptedAudioDevice> devices) { set(m_devices, std::move(devices)); }
    /// Every later call of `step` returns `status` (0 restores success).
    void setStatus(ScriptedAudioStep step, AudioStatus status) {
        set(m_statuses.at(std::size_t(step)), status);
    }
    /// newCaptureStream succeeds without a stream.
    void setNewStreamReturnsNothing(bool nothing) { set(m_newStreamReturnsNothing, nothing); }
    /// What read() delivers; silence by default.
    void setSampleSource(SampleSource source);
    /// Called on the delivering thread just before and just after each capture callback.
    void setCallbackHooks(std::function<void()> before, std::function<void()> after);
    /// Runs one capture callback per entry of `frameCounts`, in order, on a thread of its own, as a
    /// started stream would, and waits for them. Returns false when no stream is started.
    bool deliverCallbacks(const std::vector<std::uint32_t>& frameCounts);

    std::vector<ScriptedAudioStep> callLog() const { return get(m_callLog); }
    void clearCallLog() { set(m_callLog, std::vector<ScriptedAudioStep>()); }
    /// The last client format set on any stream.
    std::optional<SampleSpec> lastClientSpec() const { return get(m_lastClientSpec); }
    std::optional<std::uint32_t> lastMaximumBlockFrames() const { return get(m_lastMaximumBlockFrames); }
    /// Streams made and not yet destroyed.
    int liveStreamCount() const { return int(get(m_streams).size()); }

    InputAccess inputAccess() override {
        return get(m_accessGranted) ? InputAccess::granted : InputAccess::refused;
    }
    AudioStatus connect() override;
    AudioStatus listSources(std::vector<SourceInfo>& sources) override;
    AudioStatus setSourceBlockFrames(InputDeviceId source, std::uint32_t frames) override;
    bool canCapture() override { return true; }
    AudioStatus newCaptureStream(std::unique_ptr<CaptureStream>& stream) override;
    void post(std::function<void()> work) override { m_worker.post(std::move(work)); }
    // Changes are never reported, as without a server: only listing again finds them.
    ChangeSubscription subscribeToChanges(std::function<void()>) override { return {}; }
    bool reportsChanges() override { return false; }

protected:
    void unsubscribe(std::uint64_t) override {}

private:
    class Stream;

    template <typename T, typename Value>
    void set(T& field, Value&& value) {
        std::lock_guard lock(m_mutex);
        field = std::forward<Value>(value);
    }
    template <typename T>
    T get(const T& field) const {
        std::lock_guard lock(m_mutex);
        return field;
    }
    /// Logs the call and, unless a status is scripted for it, runs `work`; work that returns no
    /// status succeeds.
    template <typename Work>
    AudioStatus step(ScriptedAudioStep which, Work&& work);
    const ScriptedAudioDevice* findDevice(InputDeviceId device) const;

    mutable std::mutex m_mutex;
    // Held while a callback runs, so that stopping a stream waits for it as a real stream does.
    std::mutex m_callbackMutex;
    bool m_accessGranted = true;
    std::vector<ScriptedAudioDevice> m_devices;
    std::array<AudioStatus, std::size_t(ScriptedAudioStep::count)> m_statuses{};
    bool m_newStreamReturnsNothing = false;
    SampleSource m_sampleSource = [](std::uint64_t, std::uint32_t, std::uint32_t, float*) {};
    std::function<void()> m_beforeCallback = [] {};
    std::function<void()> m_afterCallback = [] {};
    std::vector<ScriptedAudioStep> m_callLog;
    std::optional<SampleSpec> m_lastClientSpec;
    std::optional<std::uint32_t> m_lastMaximumBlockFrames;
    std::vector<Stream*> m_streams;
    // Declared last, so that it stops before the state its work uses goes.
    WorkerThread m_worker{"scripted-list"};
};

} // namespace tavix::test
