#pragma once

#include "audiohal.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tavix {

/// One device of the scripted layer.
struct ScriptedAudioDevice {
    ScriptedAudioDevice() = default;
    ScriptedAudioDevice(std::uint32_t deviceID, std::optional<QString> name,
                        std::vector<std::uint32_t> inputStreamChannels, double sampleRate = 48000)
        : deviceID(deviceID), name(std::move(name)), inputStreamChannels(std::move(inputStreamChannels)),
          sampleRate(sampleRate) {}

    std::uint32_t deviceID = 0;
    /// Absent: the name read succeeds without a name.
    std::optional<QString> name;
    /// Channels of each input stream, one entry per stream.
    std::vector<std::uint32_t> inputStreamChannels;
    double sampleRate = 48000;
    /// Replaces the byte size reported for the stream configuration (to script short configurations).
    std::optional<std::uint32_t> configurationByteSize;
    AudioStatus configurationSizeStatus = kAudioNoError;
    AudioStatus configurationStatus = kAudioNoError;
    AudioStatus nameStatus = kAudioNoError;
};

/// Every operation of the layer, for scripting statuses and reading the call log.
enum class ScriptedAudioStep {
    deviceListSize,
    deviceList,
    streamConfigurationSize,
    streamConfiguration,
    deviceName,
    deviceBufferFrameSize,
    findComponent,
    newUnit,
    enableInput,
    enableOutput,
    setCurrentDevice,
    getDeviceFormat,
    setClientFormat,
    setMaximumFramesPerSlice,
    setInputCallback,
    initializeUnit,
    startUnit,
    render,
    stopUnit,
    uninitializeUnit,
    disposeUnit,
    getIsRunning,
    count
};

/// An audio layer whose devices, formats and statuses a test sets, and whose input callbacks a
/// test delivers on a thread of its own. Thread safe.
class ScriptedAudioHal : public AudioHal {
public:
    /// Writes the samples of `frameCount` frames starting at `firstFrame` of the unit's stream,
    /// interleaved with `channelCount` channels.
    using SampleSource = std::function<void(std::uint64_t firstFrame, std::uint32_t frameCount,
                                            std::uint32_t channelCount, float* interleaved)>;

    ScriptedAudioHal();
    ~ScriptedAudioHal() override;

    void setAccessGranted(bool granted);
    void setAuthorizationStatus(AudioAuthorizationStatus status);
    void setDevices(std::vector<ScriptedAudioDevice> devices);
    /// Every later call of `step` returns `status` (0 restores success).
    void setStatus(ScriptedAudioStep step, AudioStatus status);
    /// findCaptureComponent succeeds without a component.
    void setComponentMissing(bool missing);
    /// newUnit succeeds without a unit.
    void setNewUnitReturnsNothing(bool nothing);
    /// What render() delivers; silence by default.
    void setSampleSource(SampleSource source);

    /// Runs one input callback per entry of `frameCounts`, in order, on a thread of its own, as a
    /// started unit would, and waits for them. Returns false when no unit is started.
    bool deliverInputCallbacks(const std::vector<std::uint32_t>& frameCounts, std::uint32_t busNumber = 1);
    /// The started unit stops delivering, as when its device is unplugged or the server dies.
    void loseRunningUnit();

    std::vector<ScriptedAudioStep> callLog() const;
    void clearCallLog();
    /// The last client format set on any unit.
    std::optional<AudioStreamBasicDescription> lastClientFormat() const;
    std::optional<std::uint32_t> lastDeviceBufferFrames() const;
    std::optional<std::uint32_t> lastMaximumFramesPerSlice() const;
    /// Units created and not yet disposed of.
    int liveUnitCount() const;

    AudioAuthorizationStatus authorizationStatus() override;
    AudioStatus getDeviceListSize(std::uint32_t& byteSize) override;
    AudioStatus getDeviceList(std::uint32_t& ioByteSize, AudioDeviceID* ids) override;
    AudioStatus getInputStreamConfigurationSize(AudioDeviceID device, std::uint32_t& byteSize) override;
    AudioStatus getInputStreamConfiguration(AudioDeviceID device, std::uint32_t& ioByteSize,
                                            void* data) override;
    AudioStatus getDeviceName(AudioDeviceID device, std::optional<QString>& name) override;
    AudioStatus setDeviceBufferFrameSize(AudioDeviceID device, std::uint32_t frames) override;
    AudioStatus findCaptureComponent(AudioComponentRef& component) override;
    AudioStatus newUnit(AudioComponentRef component, AudioUnitInstance*& unit) override;
    AudioStatus enableInput(AudioUnitInstance* unit, std::uint32_t enable) override;
    AudioStatus enableOutput(AudioUnitInstance* unit, std::uint32_t enable) override;
    AudioStatus setCurrentDevice(AudioUnitInstance* unit, AudioDeviceID device) override;
    AudioStatus getDeviceFormat(AudioUnitInstance* unit, AudioStreamBasicDescription& format) override;
    AudioStatus setClientFormat(AudioUnitInstance* unit, const AudioStreamBasicDescription& format) override;
    AudioStatus setMaximumFramesPerSlice(AudioUnitInstance* unit, std::uint32_t frames) override;
    AudioStatus setInputCallback(AudioUnitInstance* unit, AudioInputCallback callback, void* refCon) override;
    AudioStatus initializeUnit(AudioUnitInstance* unit) override;
    AudioStatus startUnit(AudioUnitInstance* unit) override;
    AudioStatus render(AudioUnitInstance* unit, AudioRenderActionFlags* actionFlags,
                       const AudioTimeStamp* timeStamp, std::uint32_t busNumber, std::uint32_t frameCount,
                       AudioBufferList* data) override;
    AudioStatus stopUnit(AudioUnitInstance* unit) override;
    AudioStatus uninitializeUnit(AudioUnitInstance* unit) override;
    AudioStatus disposeUnit(AudioUnitInstance* unit) override;
    AudioStatus getIsRunning(AudioUnitInstance* unit, std::uint32_t& isRunning) override;

private:
    class Unit;

    /// Logs the call and returns its scripted status. Called with m_mutex held.
    AudioStatus enter(ScriptedAudioStep step);
    const ScriptedAudioDevice* findDevice(AudioDeviceID device) const;
    Unit* checkedUnit(AudioUnitInstance* unit) const;

    mutable std::mutex m_mutex;
    // Held while a callback runs, so that stopUnit() waits for it as a real unit does.
    std::mutex m_callbackMutex;
    AudioAuthorizationStatus m_authorization = AudioAuthorizationStatus::authorized;
    std::vector<ScriptedAudioDevice> m_devices;
    std::array<AudioStatus, std::size_t(ScriptedAudioStep::count)> m_statuses{};
    bool m_componentMissing = false;
    bool m_newUnitReturnsNothing = false;
    SampleSource m_sampleSource;
    std::vector<ScriptedAudioStep> m_callLog;
    std::optional<AudioStreamBasicDescription> m_lastClientFormat;
    std::optional<std::uint32_t> m_lastDeviceBufferFrames;
    std::optional<std::uint32_t> m_lastMaximumFramesPerSlice;
    std::vector<Unit*> m_units;
};

} // namespace tavix
