#pragma once

#include "platform/audiobackend.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tavix {

class CaptureQueue;
class CaptureRing;

/// One listed input device.
struct AudioInputDeviceInfo {
    std::uint32_t deviceID = 0;
    QString name;
    /// Total over all input streams; never 0 in a listed record.
    std::uint32_t inputChannelCount = 0;
    /// What the server says about the source: monitor, active port, form factor.
    SourceTraits traits;
    bool operator==(const AudioInputDeviceInfo&) const = default;
};

/// Why a device was or was not taken for a microphone.
enum class MicrophoneEvidence { monitor, port, formFactor, name };

struct MicrophoneVerdict {
    bool isMicrophone = false;
    MicrophoneEvidence evidence = MicrophoneEvidence::name;
};

/// The one rule, for the settings editor and the input manager alike, that keeps microphones from
/// being used for LTC. It goes by what the server says: a monitor is never a microphone; then the
/// active port decides (a microphone or headset port is one, a line input is not); without ports
/// the form factor (microphone, headset, webcam, handset, hands-free). Only a source the server
/// says nothing about is judged by its name, as before: fewer than 3 channels and "macbook",
/// "microphone" or "internal" in it ("built" no longer counts: every onboard card on Linux is
/// "Built-in Audio").
MicrophoneVerdict judgeMicrophone(const AudioInputDeviceInfo& device);

/// The sources that have input channels, in the server's order, printing why when there are none.
/// Keeps no state: callable from any thread, but it waits for the server.
std::vector<AudioInputDeviceInfo> listInputDevices(AudioBackend& backend);
/// The same list without any diagnostic line, for retries that would otherwise repeat them.
std::vector<AudioInputDeviceInfo> listInputDevicesQuietly(AudioBackend& backend);

/// Receives one captured block: `frameCount` frames of `channelCount` interleaved float samples.
using AudioBlockHandler = std::function<void(const std::vector<float>& samples, std::uint32_t frameCount,
                                             std::uint32_t channelCount, double sampleRate)>;

/// Captures one input device through a capture stream of the backend and hands each block to a
/// handler on a capture queue. The capture callback reads the block straight into a slot of a
/// ring allocated at start and rings the queue's doorbell: it neither locks nor allocates. When
/// the queue falls behind by a whole ring, blocks are dropped and counted, never waited for.
/// Main thread: construction, startCapture, stop, destruction. The capture callback runs on the
/// backend's audio thread and touches only the fields that start and stop set while the stream is
/// idle.
class AudioInputDeviceManager {
public:
    static constexpr std::uint32_t kDeviceBufferFrames = 1024;
    static constexpr std::uint32_t kMaximumFramesPerSlice = 2048;
    static constexpr std::uint32_t kScratchCapacityFrames = 2048;
    /// Blocks the ring holds (about 0.35 s of 1024-frame blocks at 48 kHz), fewer for sources with
    /// so many channels that the ring would pass kRingBytesLimit; never fewer than kMinimumRingBlocks.
    static constexpr std::uint32_t kRingBlocks = 16;
    static constexpr std::uint32_t kMinimumRingBlocks = 4;
    static constexpr std::size_t kRingBytesLimit = std::size_t(8) << 20;

    explicit AudioInputDeviceManager(AudioBackend& backend);
    /// Stops first.
    ~AudioInputDeviceManager();

    AudioInputDeviceManager(const AudioInputDeviceManager&) = delete;
    AudioInputDeviceManager& operator=(const AudioInputDeviceManager&) = delete;

    /// Success or failure shows only in isCapturing() and in the printed lines.
    void startCapture(InputDeviceId deviceID, std::shared_ptr<CaptureQueue> queue, AudioBlockHandler handler);
    /// Stops and releases the stream, if any. Safe at any time.
    void stop();
    /// stop() without its line, for a capture whose device has already gone away.
    void stopSilently();

    bool hasStream() const { return m_stream != nullptr; }
    bool isCapturing() const { return m_isCapturing; }
    /// Capturing, and the backend still delivers (false once the device or server has gone away).
    bool isRunning() const;
    InputDeviceId captureDeviceID() const { return m_captureDeviceID; }
    bool hasClientHandler() const { return m_clientHandler != nullptr; }
    const std::optional<SampleSpec>& clientSpec() const { return m_clientSpec; }
    double sampleRate() const { return m_sampleRate; }
    int channelCount() const { return m_channelCount; }
    int bytesPerFrame() const { return m_bytesPerFrame; }
    int scratchCapacityFrames() const { return m_scratchCapacityFrames; }
    /// Blocks of this capture lost because the queue was a whole ring behind.
    std::uint64_t droppedBlocks() const;
    /// Blocks of this capture handed to the queue so far.
    std::uint64_t deliveredBlocks() const;

private:
    static void captureCallback(void* userData, std::uint32_t frameCount, const CaptureTimestamp& time);
    void onCapture(std::uint32_t frameCount, const CaptureTimestamp& time);
    /// Prints `message` and the status, then tears down silently.
    void fail(const QString& message, AudioStatus status);
    void teardownSilently();

    AudioBackend& m_backend;
    std::unique_ptr<CaptureStream> m_stream;
    bool m_isCapturing = false;
    InputDeviceId m_captureDeviceID = 0;
    std::shared_ptr<const AudioBlockHandler> m_clientHandler;
    std::shared_ptr<CaptureQueue> m_callbackQueue;
    std::optional<SampleSpec> m_clientSpec;
    double m_sampleRate = 0;
    int m_channelCount = 0;
    int m_bytesPerFrame = 0;
    // The render target: each slot holds one block of up to kScratchCapacityFrames frames.
    std::shared_ptr<CaptureRing> m_ring;
    int m_scratchCapacityFrames = 0;
    std::atomic<bool> m_hasLoggedFirstRender = false;
};

} // namespace tavix
