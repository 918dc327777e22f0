#pragma once

#include "audiobackend.h"
#include "pulseconnection.h"
#include "workerthread.h"

#include <QByteArray>

namespace tavix {

/// The audio backend on PulseAudio's client library, which PipeWire desktops serve too. Sources
/// are the server's sources (monitors of outputs included), named by their description; a capture
/// stream is a PulseCaptureStream. One connection for everything (PulseConnection).
/// Thread safe, as AudioBackend requires. Outlives every stream it made.
class PulseAudioBackend final : public AudioBackend {
public:
    PulseAudioBackend() = default;

    /// The id of the source named `sourceName` (its name, not its description).
    static InputDeviceId deviceIdForSourceName(const QByteArray& sourceName) {
        return tavix::deviceIdForSourceName(sourceName);
    }

    InputAccess inputAccess() override;
    AudioStatus connect() override;
    AudioStatus listSources(std::vector<SourceInfo>& sources) override;
    AudioStatus setSourceBlockFrames(InputDeviceId source, std::uint32_t frames) override;
    bool canCapture() override { return m_connection.hasLoop(); }
    AudioStatus newCaptureStream(std::unique_ptr<CaptureStream>& stream) override;
    void post(std::function<void()> work) override { m_worker.post(std::move(work)); }
    ChangeSubscription subscribeToChanges(std::function<void()> onChange) override;
    bool reportsChanges() override;

protected:
    void unsubscribe(std::uint64_t id) override;

private:
    PulseConnection m_connection;
    // Declared last, so that it stops before the connection its work uses goes.
    WorkerThread m_worker{"tavix-audio-list"};
};

} // namespace tavix
