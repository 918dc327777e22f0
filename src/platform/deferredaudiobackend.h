#pragma once

#include "audiobackend.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace tavix {

/// Stands in for the audio backend until something first asks it for anything, and only then makes
/// it. Most shows have no timecode clock: they never load the sound server's client library, its
/// codecs, or start its two threads.
/// Thread safe, as AudioBackend requires: the first callers of any thread wait for the one making.
class DeferredAudioBackend final : public AudioBackend {
public:
    using Factory = std::function<std::unique_ptr<AudioBackend>()>;
    /// `make` runs at most once, on the thread of the first call; it must return a backend.
    explicit DeferredAudioBackend(Factory make) : m_make(std::move(make)) {}

    /// True once the backend has been made.
    bool isMade() const { return m_made.load(std::memory_order_acquire); }

    InputAccess inputAccess() override { return backend().inputAccess(); }
    AudioStatus connect() override { return backend().connect(); }
    AudioStatus listSources(std::vector<SourceInfo>& sources) override {
        return backend().listSources(sources);
    }
    AudioStatus setSourceBlockFrames(InputDeviceId source, std::uint32_t frames) override {
        return backend().setSourceBlockFrames(source, frames);
    }
    bool canCapture() override { return backend().canCapture(); }
    AudioStatus newCaptureStream(std::unique_ptr<CaptureStream>& stream) override {
        return backend().newCaptureStream(stream);
    }
    void post(std::function<void()> work) override { backend().post(std::move(work)); }
    /// The subscription is the made backend's own, and it unsubscribes there.
    ChangeSubscription subscribeToChanges(std::function<void()> onChange) override {
        return backend().subscribeToChanges(std::move(onChange));
    }
    bool reportsChanges() override { return backend().reportsChanges(); }

protected:
    void unsubscribe(std::uint64_t) override {} // never handed out a subscription of its own

private:
    AudioBackend& backend();

    Factory m_make;
    std::once_flag m_once;
    std::unique_ptr<AudioBackend> m_backend;
    std::atomic<bool> m_made{false};
};

} // namespace tavix
