#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace tavix {

/// 0 for success; a failed operation returns a non-zero code (the PulseAudio layer returns the
/// negated PulseAudio error number, so a server that is not running reads as -6).
using AudioStatus = std::int32_t;
using AudioDeviceID = std::uint32_t;

inline constexpr AudioStatus kAudioNoError = 0;
/// A call whose arguments make no sense (a null unit, a short buffer, an unsupported format).
inline constexpr AudioStatus kAudioBadParameter = -50;

constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr std::uint32_t kAudioFormatLinearPCM = fourCharCode("lpcm");
inline constexpr std::uint32_t kAudioFormatFlagIsFloat = 1u << 0;
inline constexpr std::uint32_t kAudioFormatFlagIsPacked = 1u << 3;
inline constexpr std::uint32_t kAudioFormatFlagIsNonInterleaved = 1u << 5;

/// One stream format; 40 bytes, field for field as the capture sequence reads and writes it.
struct AudioStreamBasicDescription {
    double mSampleRate = 0;
    std::uint32_t mFormatID = 0;
    std::uint32_t mFormatFlags = 0;
    std::uint32_t mBytesPerPacket = 0;
    std::uint32_t mFramesPerPacket = 0;
    std::uint32_t mBytesPerFrame = 0;
    std::uint32_t mChannelsPerFrame = 0;
    std::uint32_t mBitsPerChannel = 0;
    std::uint32_t mReserved = 0;
    bool operator==(const AudioStreamBasicDescription&) const = default;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

struct AudioBuffer {
    std::uint32_t mNumberChannels = 0;
    std::uint32_t mDataByteSize = 0;
    void* mData = nullptr;
};

/// A variable-length list: `mNumberBuffers` buffers follow in memory, the first one declared here.
/// A list holding one buffer takes 24 bytes, so a stream configuration shorter than that is empty.
struct AudioBufferList {
    std::uint32_t mNumberBuffers = 0;
    AudioBuffer mBuffers[1];
};
static_assert(sizeof(AudioBufferList) == 24);

/// Byte size of a buffer list holding `bufferCount` buffers.
constexpr std::uint32_t audioBufferListSize(std::uint32_t bufferCount) {
    return std::uint32_t(offsetof(AudioBufferList, mBuffers) +
                         sizeof(AudioBuffer) * (bufferCount ? bufferCount : 1));
}

struct AudioTimeStamp {
    double mSampleTime = 0;      ///< frames delivered by this unit before this block
    std::uint64_t mHostTime = 0; ///< steady clock, nanoseconds, when the block was handed over
};

using AudioRenderActionFlags = std::uint32_t;

/// Called by the unit once per captured block, on the layer's real-time audio thread. The callback
/// fetches the samples with AudioHal::render on the same thread; `data` is always null.
using AudioInputCallback = AudioStatus (*)(void* refCon, AudioRenderActionFlags* actionFlags,
                                           const AudioTimeStamp* timeStamp, std::uint32_t busNumber,
                                           std::uint32_t frameCount, AudioBufferList* data);

enum class AudioAuthorizationStatus : std::int32_t {
    notDetermined = 0,
    restricted = 1,
    denied = 2,
    authorized = 3
};

/// A capture unit made by AudioHal::newUnit; each implementation derives its own.
class AudioUnitInstance {
public:
    virtual ~AudioUnitInstance() = default;
};

/// Handle of the capture component; null when the layer has none.
using AudioComponentRef = const void*;

/// The audio input layer: the access check, the device list and the capture unit operations that
/// the timecode input is built on. Implemented on PulseAudio for the app and scripted for tests.
///
/// Thread rule: every operation may be called from any thread, except that render() is only
/// called from inside the unit's input callback, and that one unit is set up, started, stopped
/// and disposed of by one thread at a time. After stopUnit() returns, no callback of that unit
/// is running or will run.
class AudioHal {
public:
    virtual ~AudioHal() = default;

    // Access to audio input. Never asks the user.
    virtual AudioAuthorizationStatus authorizationStatus() = 0;

    // The device list: byte sizes and contents, as arrays of AudioDeviceID. `ioByteSize` gives the
    // room in `ids` and comes back as the bytes written.
    virtual AudioStatus getDeviceListSize(std::uint32_t& byteSize) = 0;
    virtual AudioStatus getDeviceList(std::uint32_t& ioByteSize, AudioDeviceID* ids) = 0;
    // A device's input stream configuration, an AudioBufferList with mData null in each buffer.
    virtual AudioStatus getInputStreamConfigurationSize(AudioDeviceID device, std::uint32_t& byteSize) = 0;
    virtual AudioStatus getInputStreamConfiguration(AudioDeviceID device, std::uint32_t& ioByteSize,
                                                    void* data) = 0;
    /// Succeeds with no name when the device has none.
    virtual AudioStatus getDeviceName(AudioDeviceID device, std::optional<QString>& name) = 0;
    /// Asks for a hardware buffer of `frames` for the next capture of `device`. Advisory.
    virtual AudioStatus setDeviceBufferFrameSize(AudioDeviceID device, std::uint32_t frames) = 0;

    // The capture unit.
    virtual AudioStatus findCaptureComponent(AudioComponentRef& component) = 0;
    virtual AudioStatus newUnit(AudioComponentRef component, AudioUnitInstance*& unit) = 0;
    virtual AudioStatus enableInput(AudioUnitInstance* unit, std::uint32_t enable) = 0;
    virtual AudioStatus enableOutput(AudioUnitInstance* unit, std::uint32_t enable) = 0;
    virtual AudioStatus setCurrentDevice(AudioUnitInstance* unit, AudioDeviceID device) = 0;
    /// The device-side format of the current device.
    virtual AudioStatus getDeviceFormat(AudioUnitInstance* unit, AudioStreamBasicDescription& format) = 0;
    /// The format in which render() delivers samples.
    virtual AudioStatus setClientFormat(AudioUnitInstance* unit,
                                        const AudioStreamBasicDescription& format) = 0;
    virtual AudioStatus setMaximumFramesPerSlice(AudioUnitInstance* unit, std::uint32_t frames) = 0;
    virtual AudioStatus setInputCallback(AudioUnitInstance* unit, AudioInputCallback callback,
                                         void* refCon) = 0;
    virtual AudioStatus initializeUnit(AudioUnitInstance* unit) = 0;
    virtual AudioStatus startUnit(AudioUnitInstance* unit) = 0;
    /// Copies the block being delivered into the first buffer of `data`. Input callback only.
    virtual AudioStatus render(AudioUnitInstance* unit, AudioRenderActionFlags* actionFlags,
                               const AudioTimeStamp* timeStamp, std::uint32_t busNumber,
                               std::uint32_t frameCount, AudioBufferList* data) = 0;
    virtual AudioStatus stopUnit(AudioUnitInstance* unit) = 0;
    virtual AudioStatus uninitializeUnit(AudioUnitInstance* unit) = 0;
    /// Frees the unit; it must not be used afterwards.
    virtual AudioStatus disposeUnit(AudioUnitInstance* unit) = 0;
    /// 1 while a started unit still delivers; 0 once its device or the sound server has gone away.
    virtual AudioStatus getIsRunning(AudioUnitInstance* unit, std::uint32_t& isRunning) = 0;
};

/// The audio layer of this machine (PulseAudio, which also serves PipeWire desktops).
std::unique_ptr<AudioHal> makeSystemAudioHal();

} // namespace tavix
