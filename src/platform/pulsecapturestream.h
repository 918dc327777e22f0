#pragma once

#include "audiobackend.h"
#include "pulseconnection.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace tavix {

/// The capture-stream part of the PulseAudio backend: one record stream in interleaved 32-bit
/// float at the source's own rate and channels, fixed to its source. The main loop's thread is the
/// real-time audio thread: the stream's read callback runs there and calls the capture callback
/// once per block of the requested size (larger reads are split, small ones gathered).
/// Thread rule: as CaptureStream; every member takes the loop lock, so it must not be used from
/// the loop's own thread except read(), which only the capture callback calls. No member waits for
/// the server: a stream it refuses or ends shows as not running.
class PulseCaptureStream final : public CaptureStream {
public:
    explicit PulseCaptureStream(PulseConnection& connection);
    ~PulseCaptureStream() override;
    PulseCaptureStream(const PulseCaptureStream&) = delete;
    PulseCaptureStream& operator=(const PulseCaptureStream&) = delete;

    AudioStatus enableRecording(bool enable) override;
    AudioStatus enablePlayback(bool enable) override;
    AudioStatus setSource(InputDeviceId source) override;
    AudioStatus sourceSpec(SampleSpec& spec) override;
    AudioStatus setClientSpec(const SampleSpec& spec) override;
    AudioStatus setMaximumBlockFrames(std::uint32_t frames) override;
    AudioStatus setCallback(CaptureCallback callback, void* userData) override;
    AudioStatus connect() override;
    AudioStatus start() override;
    AudioStatus read(std::uint32_t frameCount, float* destination, std::size_t capacitySamples) override;
    AudioStatus stop() override;
    AudioStatus disconnect() override;
    bool isRunning() override;

private:
    /// The setup steps share one rule: they apply before the stream is connected.
    template <typename Change>
    AudioStatus beforeConnect(Change&& change);
    void disconnectLocked();

    static void onState(pa_stream* stream, void* userdata);
    static void onRead(pa_stream* stream, std::size_t bytes, void* userdata);
    void deliver(const std::byte* data, std::size_t bytes);
    void callOnce(const std::byte* block, std::uint32_t frames);

    PulseConnection& m_connection;
    bool m_recording = false;
    std::optional<PulseSource> m_source;
    std::optional<SampleSpec> m_clientSpec;
    std::uint32_t m_maximumBlockFrames = 4096;
    std::uint32_t m_blockFrames = 1024;
    CaptureCallback m_callback = nullptr;
    void* m_userData = nullptr;
    pulse::Stream m_stream;
    bool m_started = false;

    // Loop thread only, while a read is delivered.
    const std::byte* m_pending = nullptr;
    std::uint32_t m_pendingFrames = 0;
    std::uint64_t m_framesDelivered = 0;
    // Small reads gathered into one block; sized when the stream connects, not on the audio thread.
    std::vector<std::byte> m_staging;
    std::uint32_t m_stagedFrames = 0;
};

} // namespace tavix
