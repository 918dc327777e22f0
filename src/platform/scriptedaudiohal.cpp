#include "scriptedaudiohal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace tavix {

class ScriptedAudioHal::Unit : public AudioUnitInstance {
public:
    std::optional<AudioDeviceID> device;
    bool inputEnabled = false;
    std::optional<AudioStreamBasicDescription> clientFormat;
    AudioInputCallback callback = nullptr;
    void* refCon = nullptr;
    bool initialized = false;
    bool started = false;
    bool lost = false;
    std::uint64_t framesDelivered = 0;
};

ScriptedAudioHal::ScriptedAudioHal() = default;

ScriptedAudioHal::~ScriptedAudioHal() {
    for (Unit* unit : m_units) {
        delete unit;
    }
}

void ScriptedAudioHal::setAccessGranted(bool granted) {
    setAuthorizationStatus(granted ? AudioAuthorizationStatus::authorized : AudioAuthorizationStatus::denied);
}

void ScriptedAudioHal::setAuthorizationStatus(AudioAuthorizationStatus status) {
    std::lock_guard lock(m_mutex);
    m_authorization = status;
}

void ScriptedAudioHal::setDevices(std::vector<ScriptedAudioDevice> devices) {
    std::lock_guard lock(m_mutex);
    m_devices = std::move(devices);
}

void ScriptedAudioHal::setStatus(ScriptedAudioStep step, AudioStatus status) {
    std::lock_guard lock(m_mutex);
    m_statuses.at(std::size_t(step)) = status;
}

void ScriptedAudioHal::setComponentMissing(bool missing) {
    std::lock_guard lock(m_mutex);
    m_componentMissing = missing;
}

void ScriptedAudioHal::setNewUnitReturnsNothing(bool nothing) {
    std::lock_guard lock(m_mutex);
    m_newUnitReturnsNothing = nothing;
}

void ScriptedAudioHal::setSampleSource(SampleSource source) {
    std::lock_guard lock(m_mutex);
    m_sampleSource = std::move(source);
}

bool ScriptedAudioHal::deliverInputCallbacks(const std::vector<std::uint32_t>& frameCounts,
                                             std::uint32_t busNumber) {
    bool delivered = false;
    std::thread audioThread([&] {
        for (const std::uint32_t frames : frameCounts) {
            std::lock_guard callbackLock(m_callbackMutex);
            AudioInputCallback callback = nullptr;
            void* refCon = nullptr;
            AudioTimeStamp stamp;
            {
                std::lock_guard lock(m_mutex);
                const auto it = std::find_if(m_units.rbegin(), m_units.rend(), [](const Unit* u) {
                    return u->started && !u->lost && u->callback;
                });
                if (it == m_units.rend()) {
                    return;
                }
                callback = (*it)->callback;
                refCon = (*it)->refCon;
                stamp.mSampleTime = double((*it)->framesDelivered);
                stamp.mHostTime = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
            }
            AudioRenderActionFlags flags = 0;
            callback(refCon, &flags, &stamp, busNumber, frames, nullptr);
            delivered = true;
            std::lock_guard lock(m_mutex);
            for (Unit* unit : m_units) {
                if (unit->refCon == refCon) {
                    unit->framesDelivered += frames;
                }
            }
        }
    });
    audioThread.join();
    return delivered;
}

void ScriptedAudioHal::loseRunningUnit() {
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    for (Unit* unit : m_units) {
        if (unit->started) {
            unit->lost = true;
        }
    }
}

std::vector<ScriptedAudioStep> ScriptedAudioHal::callLog() const {
    std::lock_guard lock(m_mutex);
    return m_callLog;
}

void ScriptedAudioHal::clearCallLog() {
    std::lock_guard lock(m_mutex);
    m_callLog.clear();
}

std::optional<AudioStreamBasicDescription> ScriptedAudioHal::lastClientFormat() const {
    std::lock_guard lock(m_mutex);
    return m_lastClientFormat;
}

std::optional<std::uint32_t> ScriptedAudioHal::lastDeviceBufferFrames() const {
    std::lock_guard lock(m_mutex);
    return m_lastDeviceBufferFrames;
}

std::optional<std::uint32_t> ScriptedAudioHal::lastMaximumFramesPerSlice() const {
    std::lock_guard lock(m_mutex);
    return m_lastMaximumFramesPerSlice;
}

int ScriptedAudioHal::liveUnitCount() const {
    std::lock_guard lock(m_mutex);
    return int(m_units.size());
}

AudioStatus ScriptedAudioHal::enter(ScriptedAudioStep step) {
    m_callLog.push_back(step);
    return m_statuses.at(std::size_t(step));
}

const ScriptedAudioDevice* ScriptedAudioHal::findDevice(AudioDeviceID device) const {
    const auto it = std::find_if(m_devices.begin(), m_devices.end(),
                                 [device](const auto& d) { return d.deviceID == device; });
    return it == m_devices.end() ? nullptr : &*it;
}

ScriptedAudioHal::Unit* ScriptedAudioHal::checkedUnit(AudioUnitInstance* unit) const {
    const auto it = std::find(m_units.begin(), m_units.end(), unit);
    return it == m_units.end() ? nullptr : *it;
}

AudioAuthorizationStatus ScriptedAudioHal::authorizationStatus() {
    std::lock_guard lock(m_mutex);
    return m_authorization;
}

AudioStatus ScriptedAudioHal::getDeviceListSize(std::uint32_t& byteSize) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::deviceListSize)) {
        return status;
    }
    byteSize = std::uint32_t(m_devices.size() * sizeof(AudioDeviceID));
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::getDeviceList(std::uint32_t& ioByteSize, AudioDeviceID* ids) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::deviceList)) {
        return status;
    }
    const std::size_t count = std::min<std::size_t>(ioByteSize / sizeof(AudioDeviceID), m_devices.size());
    for (std::size_t i = 0; i < count; ++i) {
        ids[i] = m_devices[i].deviceID;
    }
    ioByteSize = std::uint32_t(count * sizeof(AudioDeviceID));
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::getInputStreamConfigurationSize(AudioDeviceID device, std::uint32_t& byteSize) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::streamConfigurationSize)) {
        return status;
    }
    const ScriptedAudioDevice* d = findDevice(device);
    if (d == nullptr) {
        return kAudioBadParameter;
    }
    if (d->configurationSizeStatus != kAudioNoError) {
        return d->configurationSizeStatus;
    }
    byteSize =
        d->configurationByteSize.value_or(audioBufferListSize(std::uint32_t(d->inputStreamChannels.size())));
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::getInputStreamConfiguration(AudioDeviceID device, std::uint32_t& ioByteSize,
                                                          void* data) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::streamConfiguration)) {
        return status;
    }
    const ScriptedAudioDevice* d = findDevice(device);
    if (d == nullptr) {
        return kAudioBadParameter;
    }
    if (d->configurationStatus != kAudioNoError) {
        return d->configurationStatus;
    }
    // Lay the list out byte by byte, as the real layer hands it over, and cut it at the room given.
    const auto streams = std::uint32_t(d->inputStreamChannels.size());
    std::vector<std::byte> bytes(audioBufferListSize(streams));
    std::memcpy(bytes.data(), &streams, sizeof streams);
    for (std::uint32_t i = 0; i < streams; ++i) {
        AudioBuffer buffer;
        buffer.mNumberChannels = d->inputStreamChannels[i];
        std::memcpy(bytes.data() + offsetof(AudioBufferList, mBuffers) + i * sizeof(AudioBuffer), &buffer,
                    sizeof buffer);
    }
    const std::uint32_t written = std::min<std::uint32_t>(ioByteSize, std::uint32_t(bytes.size()));
    std::memcpy(data, bytes.data(), written);
    ioByteSize = written;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::getDeviceName(AudioDeviceID device, std::optional<QString>& name) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::deviceName)) {
        return status;
    }
    const ScriptedAudioDevice* d = findDevice(device);
    if (d == nullptr) {
        return kAudioBadParameter;
    }
    if (d->nameStatus != kAudioNoError) {
        return d->nameStatus;
    }
    name = d->name;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::setDeviceBufferFrameSize(AudioDeviceID device, std::uint32_t frames) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::deviceBufferFrameSize)) {
        return status;
    }
    if (findDevice(device) == nullptr) {
        return kAudioBadParameter;
    }
    m_lastDeviceBufferFrames = frames;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::findCaptureComponent(AudioComponentRef& component) {
    std::lock_guard lock(m_mutex);
    component = nullptr;
    if (const AudioStatus status = enter(ScriptedAudioStep::findComponent)) {
        return status;
    }
    if (!m_componentMissing) {
        component = this;
    }
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::newUnit(AudioComponentRef component, AudioUnitInstance*& unit) {
    std::lock_guard lock(m_mutex);
    unit = nullptr;
    if (const AudioStatus status = enter(ScriptedAudioStep::newUnit)) {
        return status;
    }
    if (component != this) {
        return kAudioBadParameter;
    }
    if (!m_newUnitReturnsNothing) {
        m_units.push_back(new Unit);
        unit = m_units.back();
    }
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::enableInput(AudioUnitInstance* unit, std::uint32_t enable) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::enableInput)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    u->inputEnabled = enable != 0;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::enableOutput(AudioUnitInstance* unit, std::uint32_t enable) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::enableOutput)) {
        return status;
    }
    // Capture only: there is no output to enable.
    return checkedUnit(unit) != nullptr && enable == 0 ? kAudioNoError : kAudioBadParameter;
}

AudioStatus ScriptedAudioHal::setCurrentDevice(AudioUnitInstance* unit, AudioDeviceID device) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::setCurrentDevice)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr || findDevice(device) == nullptr) {
        return kAudioBadParameter;
    }
    u->device = device;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::getDeviceFormat(AudioUnitInstance* unit, AudioStreamBasicDescription& format) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::getDeviceFormat)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    const ScriptedAudioDevice* d = u && u->device ? findDevice(*u->device) : nullptr;
    if (d == nullptr) {
        return kAudioBadParameter;
    }
    std::uint32_t channels = 0;
    for (const std::uint32_t c : d->inputStreamChannels) {
        channels += c;
    }
    format = AudioStreamBasicDescription{};
    format.mSampleRate = d->sampleRate;
    format.mFormatID = kAudioFormatLinearPCM;
    format.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    format.mBytesPerPacket = format.mBytesPerFrame = 4 * channels;
    format.mFramesPerPacket = 1;
    format.mChannelsPerFrame = channels;
    format.mBitsPerChannel = 32;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::setClientFormat(AudioUnitInstance* unit,
                                              const AudioStreamBasicDescription& format) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::setClientFormat)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr || format.mFormatID != kAudioFormatLinearPCM || format.mBitsPerChannel != 32 ||
        (format.mFormatFlags & kAudioFormatFlagIsFloat) == 0 ||
        (format.mFormatFlags & kAudioFormatFlagIsNonInterleaved) != 0 || format.mChannelsPerFrame == 0 ||
        format.mBytesPerFrame != 4 * format.mChannelsPerFrame) {
        return kAudioBadParameter;
    }
    u->clientFormat = format;
    m_lastClientFormat = format;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::setMaximumFramesPerSlice(AudioUnitInstance* unit, std::uint32_t frames) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::setMaximumFramesPerSlice)) {
        return status;
    }
    if (checkedUnit(unit) == nullptr) {
        return kAudioBadParameter;
    }
    m_lastMaximumFramesPerSlice = frames;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::setInputCallback(AudioUnitInstance* unit, AudioInputCallback callback,
                                               void* refCon) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::setInputCallback)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    u->callback = callback;
    u->refCon = refCon;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::initializeUnit(AudioUnitInstance* unit) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::initializeUnit)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr || !u->inputEnabled || !u->device || !u->clientFormat) {
        return kAudioBadParameter;
    }
    u->initialized = true;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::startUnit(AudioUnitInstance* unit) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::startUnit)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr || !u->initialized) {
        return kAudioBadParameter;
    }
    u->started = true;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::render(AudioUnitInstance* unit, AudioRenderActionFlags*, const AudioTimeStamp*,
                                     std::uint32_t busNumber, std::uint32_t frameCount,
                                     AudioBufferList* data) {
    SampleSource source;
    std::uint64_t firstFrame = 0;
    std::uint32_t channels = 0;
    {
        std::lock_guard lock(m_mutex);
        if (const AudioStatus status = enter(ScriptedAudioStep::render)) {
            return status;
        }
        Unit* u = checkedUnit(unit);
        if (u == nullptr || !u->clientFormat || busNumber != 1 || data == nullptr ||
            data->mNumberBuffers < 1 || data->mBuffers[0].mData == nullptr ||
            std::uint64_t(data->mBuffers[0].mDataByteSize) <
                std::uint64_t(frameCount) * u->clientFormat->mBytesPerFrame) {
            return kAudioBadParameter;
        }
        source = m_sampleSource;
        firstFrame = u->framesDelivered;
        channels = u->clientFormat->mChannelsPerFrame;
    }
    auto* out = static_cast<float*>(data->mBuffers[0].mData);
    std::fill(out, out + std::size_t(frameCount) * channels, 0.0f);
    if (source) {
        source(firstFrame, frameCount, channels, out);
    }
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::stopUnit(AudioUnitInstance* unit) {
    // Waits for a callback in progress, as a real unit does.
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::stopUnit)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    u->started = false;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::uninitializeUnit(AudioUnitInstance* unit) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::uninitializeUnit)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    u->initialized = false;
    return kAudioNoError;
}

AudioStatus ScriptedAudioHal::disposeUnit(AudioUnitInstance* unit) {
    std::lock_guard callbackLock(m_callbackMutex);
    std::lock_guard lock(m_mutex);
    const AudioStatus status = enter(ScriptedAudioStep::disposeUnit);
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    // A scripted failure is reported, but the unit is freed all the same so that tests do not leak.
    m_units.erase(std::find(m_units.begin(), m_units.end(), u));
    delete u;
    return status;
}

AudioStatus ScriptedAudioHal::getIsRunning(AudioUnitInstance* unit, std::uint32_t& isRunning) {
    std::lock_guard lock(m_mutex);
    if (const AudioStatus status = enter(ScriptedAudioStep::getIsRunning)) {
        return status;
    }
    Unit* u = checkedUnit(unit);
    if (u == nullptr) {
        return kAudioBadParameter;
    }
    isRunning = u->started && !u->lost ? 1 : 0;
    return kAudioNoError;
}

} // namespace tavix
