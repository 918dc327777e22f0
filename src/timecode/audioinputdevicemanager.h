#pragma once

#include "platform/audiohal.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tavix {

class SerialQueue;

/// One listed input device.
struct AudioInputDeviceInfo {
    std::uint32_t deviceID = 0;
    QString name;
    /// Total over all input streams; never 0 in a listed record.
    std::uint32_t inputChannelCount = 0;
    bool operator==(const AudioInputDeviceInfo&) const = default;
};

/// The devices that have input channels, in the layer's order, printing why when there are none.
/// Keeps no state: callable from any thread.
std::vector<AudioInputDeviceInfo> listInputDevices(AudioHal& hal);
/// The same list without any diagnostic line, for retries that would otherwise repeat them.
std::vector<AudioInputDeviceInfo> listInputDevicesQuietly(AudioHal& hal);

/// Receives one captured block: `frameCount` frames of `channelCount` interleaved float samples.
using AudioBlockHandler = std::function<void(const std::vector<float>& samples, std::uint32_t frameCount,
                                             std::uint32_t channelCount, double sampleRate)>;

/// Captures one input device through the layer's capture unit and hands each block, as a new
/// array, to a handler on a serial queue.
/// Main thread: construction, startCapture, stop, destruction. The input callback runs on the
/// layer's audio thread and touches only the fields that start and stop set while the unit is idle.
class AudioInputDeviceManager {
public:
    static constexpr std::uint32_t kDeviceBufferFrames = 1024;
    static constexpr std::uint32_t kMaximumFramesPerSlice = 2048;
    static constexpr std::uint32_t kScratchCapacityFrames = 2048;

    explicit AudioInputDeviceManager(AudioHal& hal);
    /// Stops first.
    ~AudioInputDeviceManager();

    AudioInputDeviceManager(const AudioInputDeviceManager&) = delete;
    AudioInputDeviceManager& operator=(const AudioInputDeviceManager&) = delete;

    /// Success or failure shows only in isCapturing() and in the printed lines.
    void startCapture(AudioDeviceID deviceID, std::shared_ptr<SerialQueue> queue, AudioBlockHandler handler);
    /// Stops and releases the unit, if any. Safe at any time.
    void stop();
    /// stop() without its line, for a capture whose device has already gone away.
    void stopSilently();

    bool hasAudioUnit() const { return m_audioUnit != nullptr; }
    bool isCapturing() const { return m_isCapturing; }
    /// Capturing, and the layer still delivers (false once the device or server has gone away).
    bool isRunning() const;
    AudioDeviceID captureDeviceID() const { return m_captureDeviceID; }
    bool hasClientHandler() const { return m_clientHandler != nullptr; }
    const std::optional<AudioStreamBasicDescription>& streamFormat() const { return m_streamFormat; }
    double sampleRate() const { return m_sampleRate; }
    int channelCount() const { return m_channelCount; }
    int bytesPerFrame() const { return m_bytesPerFrame; }
    int scratchCapacityFrames() const { return m_scratchCapacityFrames; }

private:
    static AudioStatus inputCallback(void* refCon, AudioRenderActionFlags* actionFlags,
                                     const AudioTimeStamp* timeStamp, std::uint32_t busNumber,
                                     std::uint32_t frameCount, AudioBufferList* data);
    AudioStatus onInput(AudioRenderActionFlags* actionFlags, const AudioTimeStamp* timeStamp,
                        std::uint32_t busNumber, std::uint32_t frameCount);
    /// Prints `message` and the status, then tears down silently.
    void fail(const QString& message, AudioStatus status);
    void teardownSilently();

    AudioHal& m_hal;
    AudioUnitInstance* m_audioUnit = nullptr;
    bool m_isCapturing = false;
    AudioDeviceID m_captureDeviceID = 0;
    std::shared_ptr<const AudioBlockHandler> m_clientHandler;
    std::shared_ptr<SerialQueue> m_callbackQueue;
    std::optional<AudioStreamBasicDescription> m_streamFormat;
    double m_sampleRate = 0;
    int m_channelCount = 0;
    int m_bytesPerFrame = 0;
    std::unique_ptr<std::byte[]> m_scratch;
    int m_scratchCapacityFrames = 0;
    std::atomic<bool> m_hasLoggedFirstRender = false;
};

} // namespace tavix
