#pragma once

#include "audiohal.h"

#include <QByteArray>

#include <functional>
#include <map>
#include <vector>

struct pa_context;
struct pa_threaded_mainloop;

namespace tavix {

/// The audio layer on PulseAudio's client library, which PipeWire desktops serve too. Devices are
/// the server's sources (monitors of outputs included), named by their description; a capture
/// unit is a record stream in interleaved 32-bit float at the source's own rate and channels.
/// The threaded main loop's thread is the real-time audio thread: the stream's read callback runs
/// there and calls the unit's input callback once per block of at most the requested buffer size.
/// Thread safe, as AudioHal requires; one connection, made on first use and again after the server
/// went away.
class PulseAudioHal final : public AudioHal {
public:
    PulseAudioHal();
    ~PulseAudioHal() override;
    PulseAudioHal(const PulseAudioHal&) = delete;
    PulseAudioHal& operator=(const PulseAudioHal&) = delete;

    /// The id of the source named `sourceName` (its name, not its description).
    static AudioDeviceID deviceIDForSourceName(const QByteArray& sourceName);

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
    struct Source;
    class LoopLock;
    class ContextRef;

    // Everything below runs with the loop locked.
    /// The connection, made or made again when needed and ready for use.
    AudioStatus connectLocked(ContextRef& connection);
    void dropContextLocked();
    AudioStatus querySourcesLocked(std::vector<Source>& sources);
    AudioStatus findSourceLocked(AudioDeviceID device, Source& source);
    /// Waits (releasing the lock meanwhile) until `done` holds; false after `timeoutMs`.
    bool waitLocked(const std::function<bool()>& done, int timeoutMs);
    AudioStatus uninitializeLocked(Unit* unit);
    Unit* unitLocked(AudioUnitInstance* unit) const;

    static void onContextState(pa_context* context, void* userdata);

    pa_threaded_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    std::map<AudioDeviceID, std::uint32_t> m_bufferFrames;
    std::vector<Unit*> m_units;
};

} // namespace tavix
