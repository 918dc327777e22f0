#include "pulseaudiobackend.h"

#include "pulsecapturestream.h"

namespace tavix {

InputAccess PulseAudioBackend::inputAccess() {
    // Only a refusal for lack of permission (the server's or a sandbox portal's) means no access;
    // a server that is not running is a failure of the listing, reported there. The verdict of the
    // last attempt is kept, so that asking does not wait for the server again.
    const AudioStatus status = m_connection.locked([this] {
        if (const auto last = m_connection.lastConnectStatusLocked()) {
            return *last;
        }
        pulse::Context context;
        return m_connection.connectLocked(context);
    });
    return status == pulseError(PA_ERR_ACCESS) ? InputAccess::refused : InputAccess::granted;
}

AudioStatus PulseAudioBackend::connect() {
    return m_connection.locked([this] {
        pulse::Context context;
        return m_connection.connectLocked(context);
    });
}

AudioStatus PulseAudioBackend::listSources(std::vector<SourceInfo>& sources) {
    sources.clear();
    return m_connection.locked([&] {
        if (const AudioStatus status = m_connection.querySourcesLocked()) {
            return status;
        }
        for (const PulseSource& source : m_connection.sourcesLocked()) {
            sources.push_back(
                SourceInfo{source.id, source.description, source.sampleSpec.channels, source.traits});
        }
        return kAudioNoError;
    });
}

AudioStatus PulseAudioBackend::setSourceBlockFrames(InputDeviceId source, std::uint32_t frames) {
    if (frames == 0) {
        return kAudioBadParameter;
    }
    return m_connection.locked([&] {
        if (m_connection.sourceLocked(source) == nullptr) {
            return pulseError(PA_ERR_NOENTITY);
        }
        // Taken up by the next record stream on this source, as its fragment size.
        m_connection.setBlockFramesLocked(source, frames);
        return kAudioNoError;
    });
}

AudioStatus PulseAudioBackend::newCaptureStream(std::unique_ptr<CaptureStream>& stream) {
    if (!m_connection.hasLoop()) {
        return kAudioBadParameter;
    }
    stream = std::make_unique<PulseCaptureStream>(m_connection);
    return kAudioNoError;
}

ChangeSubscription PulseAudioBackend::subscribeToChanges(std::function<void()> onChange) {
    std::uint64_t id = 0;
    const AudioStatus status = m_connection.locked([&] {
        id = m_connection.addWatcherLocked(std::move(onChange));
        return kAudioNoError;
    });
    return status == kAudioNoError ? ChangeSubscription(this, id) : ChangeSubscription();
}

void PulseAudioBackend::unsubscribe(std::uint64_t id) {
    m_connection.locked([&] {
        m_connection.removeWatcherLocked(id);
        return kAudioNoError;
    });
}

bool PulseAudioBackend::reportsChanges() {
    bool reports = false;
    m_connection.locked([&] {
        reports = m_connection.reportsChangesLocked();
        return kAudioNoError;
    });
    return reports;
}

} // namespace tavix
