#include "audioinputdevicemanager.h"

#include "platform/diagnostics.h"
#include "platform/serialqueue.h"

#include <charconv>
#include <cstring>
#include <limits>

namespace tavix {

namespace {

// More channels than any interface has; it keeps 4 x channels and the scratch buffer (2048 frames)
// within sizes that can be described and allocated.
constexpr std::uint32_t kMaxCaptureChannels = 1024;

QString statusText(AudioStatus status) {
    return QString::number(status);
}

/// The rate in shortest round-trip form, always with a fraction: 48000 prints as 48000.0.
QString rateText(double rate) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, rate, std::chars_format::fixed);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('n'))) {
        text += QStringLiteral(".0");
    }
    return text;
}

/// Channels of every buffer of a stream configuration, summed with unsigned wrap-around. Reads
/// only as many buffers as the bytes returned hold, whatever the list's count claims.
std::uint32_t sumOfChannels(const std::vector<std::byte>& configuration) {
    std::uint32_t declared = 0;
    std::memcpy(&declared, configuration.data(), sizeof declared);
    const std::size_t room =
        (configuration.size() - offsetof(AudioBufferList, mBuffers)) / sizeof(AudioBuffer);
    const std::size_t count = std::min<std::size_t>(declared, room);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::uint32_t channels = 0;
        std::memcpy(&channels,
                    configuration.data() + offsetof(AudioBufferList, mBuffers) + i * sizeof(AudioBuffer) +
                        offsetof(AudioBuffer, mNumberChannels),
                    sizeof channels);
        sum += channels;
    }
    return sum;
}

std::vector<AudioInputDeviceInfo> listDevices(AudioHal& hal, bool printing) {
    const auto print = [printing](const QString& line) {
        if (printing) {
            printDiagnostic(line);
        }
    };
    if (hal.authorizationStatus() != AudioAuthorizationStatus::authorized) {
        print(QStringLiteral("🔒 listInputDevices: microphone not authorized (no devices listed). "
                             "Call requestAuthorization() first."));
        return {};
    }
    std::uint32_t listSize = 0;
    AudioStatus status = hal.getDeviceListSize(listSize);
    if (status != kAudioNoError || listSize == 0) {
        print(QStringLiteral("⚠️ listInputDevices: couldn't get device list size (") +
              statusText(status) + QStringLiteral(")"));
        return {};
    }
    std::vector<AudioDeviceID> ids(listSize / sizeof(AudioDeviceID), 0);
    std::uint32_t readSize = std::uint32_t(ids.size() * sizeof(AudioDeviceID));
    status = hal.getDeviceList(readSize, ids.data());
    if (status != kAudioNoError) {
        print(QStringLiteral("⚠️ listInputDevices: couldn't get device list (") + statusText(status) +
              QStringLiteral(")"));
        return {};
    }
    ids.resize(std::min<std::size_t>(ids.size(), readSize / sizeof(AudioDeviceID)));

    std::vector<AudioInputDeviceInfo> devices;
    for (const AudioDeviceID id : ids) {
        std::uint32_t configurationSize = 0;
        if (hal.getInputStreamConfigurationSize(id, configurationSize) != kAudioNoError ||
            configurationSize < sizeof(AudioBufferList)) {
            continue;
        }
        std::vector<std::byte> configuration(configurationSize);
        std::uint32_t configurationRead = configurationSize;
        if (hal.getInputStreamConfiguration(id, configurationRead, configuration.data()) != kAudioNoError) {
            continue;
        }
        configuration.resize(std::min(configurationRead, configurationSize));
        if (configuration.size() < sizeof(AudioBufferList)) {
            continue;
        }
        const std::uint32_t channels = sumOfChannels(configuration);
        if (channels == 0) {
            continue;
        }
        std::optional<QString> name;
        if (hal.getDeviceName(id, name) != kAudioNoError || !name) {
            name = QStringLiteral("Device ") + QString::number(id);
        }
        devices.push_back(AudioInputDeviceInfo{id, *name, channels});
    }
    return devices;
}

} // namespace

std::vector<AudioInputDeviceInfo> listInputDevices(AudioHal& hal) {
    return listDevices(hal, true);
}

std::vector<AudioInputDeviceInfo> listInputDevicesQuietly(AudioHal& hal) {
    return listDevices(hal, false);
}

AudioInputDeviceManager::AudioInputDeviceManager(AudioHal& hal) : m_hal(hal) {}

AudioInputDeviceManager::~AudioInputDeviceManager() {
    stop();
}

void AudioInputDeviceManager::startCapture(AudioDeviceID deviceID, std::shared_ptr<SerialQueue> queue,
                                           AudioBlockHandler handler) {
    if (m_hal.authorizationStatus() != AudioAuthorizationStatus::authorized) {
        printDiagnostic(
            QStringLiteral("🔒 startCapture: microphone not authorized. Call requestAuthorization() first."));
        return;
    }
    stop();
    m_captureDeviceID = deviceID;
    m_callbackQueue = std::move(queue);
    m_clientHandler = handler ? std::make_shared<const AudioBlockHandler>(std::move(handler)) : nullptr;
    m_hasLoggedFirstRender = false;

    AudioComponentRef component = nullptr;
    if (m_hal.findCaptureComponent(component) != kAudioNoError || component == nullptr) {
        printDiagnostic(QStringLiteral("❌ HALOutput component not found"));
        return;
    }
    AudioUnitInstance* unit = nullptr;
    AudioStatus status = m_hal.newUnit(component, unit);
    if (status != kAudioNoError || unit == nullptr) {
        printDiagnostic(QStringLiteral("❌ AudioComponentInstanceNew failed ") + statusText(status));
        return;
    }
    m_audioUnit = unit;

    if ((status = m_hal.enableInput(unit, 1)) != kAudioNoError) {
        return fail(QStringLiteral("❌ enable input (bus1) failed "), status);
    }
    if ((status = m_hal.enableOutput(unit, 0)) != kAudioNoError) {
        return fail(QStringLiteral("❌ disable output (bus0) failed "), status);
    }
    if ((status = m_hal.setCurrentDevice(unit, deviceID)) != kAudioNoError) {
        return fail(QStringLiteral("❌ set current device failed "), status);
    }
    printDiagnostic(QStringLiteral("🔧 HAL using deviceID ") + QString::number(deviceID) +
                    QStringLiteral(" (set as CurrentDevice)"));

    AudioStreamBasicDescription deviceFormat{};
    if ((status = m_hal.getDeviceFormat(unit, deviceFormat)) != kAudioNoError) {
        return fail(QStringLiteral("❌ get stream format (input/bus1) failed "), status);
    }
    AudioStreamBasicDescription clientFormat{};
    clientFormat.mSampleRate = deviceFormat.mSampleRate;
    clientFormat.mChannelsPerFrame = deviceFormat.mChannelsPerFrame;
    clientFormat.mFormatID = kAudioFormatLinearPCM;
    clientFormat.mFormatFlags = kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked;
    clientFormat.mBitsPerChannel = 32;
    clientFormat.mFramesPerPacket = 1;
    clientFormat.mBytesPerFrame = clientFormat.mBytesPerPacket = 4 * clientFormat.mChannelsPerFrame;
    clientFormat.mReserved = deviceFormat.mReserved;
    // A format that no float buffer can describe is refused here rather than wrapping 4 x channels.
    if (clientFormat.mChannelsPerFrame > kMaxCaptureChannels) {
        return fail(QStringLiteral("❌ set stream format (output/bus1) failed "), kAudioBadParameter);
    }
    if ((status = m_hal.setClientFormat(unit, clientFormat)) != kAudioNoError) {
        return fail(QStringLiteral("❌ set stream format (output/bus1) failed "), status);
    }
    m_streamFormat = clientFormat;
    m_sampleRate = clientFormat.mSampleRate;
    m_channelCount = int(clientFormat.mChannelsPerFrame);
    m_bytesPerFrame = int(4 * clientFormat.mChannelsPerFrame);

    if ((status = m_hal.setDeviceBufferFrameSize(deviceID, kDeviceBufferFrames)) != kAudioNoError) {
        printDiagnostic(QStringLiteral("⚠️ could not set device buffer frames to ") +
                        QString::number(kDeviceBufferFrames) + QStringLiteral(": ") + statusText(status));
    }
    if ((status = m_hal.setMaximumFramesPerSlice(unit, kMaximumFramesPerSlice)) != kAudioNoError) {
        printDiagnostic(QStringLiteral("⚠️ set MaxFramesPerSlice(") +
                        QString::number(kMaximumFramesPerSlice) + QStringLiteral(") failed ") +
                        statusText(status));
    }

    m_scratch.reset();
    m_scratch =
        std::make_unique<std::byte[]>(std::size_t(kScratchCapacityFrames) * std::size_t(m_bytesPerFrame));
    m_scratchCapacityFrames = int(kScratchCapacityFrames);

    if ((status = m_hal.setInputCallback(unit, &AudioInputDeviceManager::inputCallback, this)) !=
        kAudioNoError) {
        return fail(QStringLiteral("❌ set input callback failed "), status);
    }
    if ((status = m_hal.initializeUnit(unit)) != kAudioNoError) {
        return fail(QStringLiteral("❌ AudioUnitInitialize failed "), status);
    }
    if ((status = m_hal.startUnit(unit)) != kAudioNoError) {
        return fail(QStringLiteral("❌ AudioOutputUnitStart failed "), status);
    }
    m_isCapturing = true;
    printDiagnostic(QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID ") +
                    QString::number(deviceID) + QStringLiteral(" • sr:") + rateText(m_sampleRate) +
                    QStringLiteral(" ch:") + QString::number(m_channelCount));
}

void AudioInputDeviceManager::stop() {
    if (m_audioUnit == nullptr) {
        return;
    }
    teardownSilently();
    printDiagnostic(QStringLiteral("🛑 AudioInputDeviceManager: stopped"));
}

void AudioInputDeviceManager::stopSilently() {
    teardownSilently();
}

bool AudioInputDeviceManager::isRunning() const {
    if (m_audioUnit == nullptr || !m_isCapturing) {
        return false;
    }
    std::uint32_t running = 0;
    return m_hal.getIsRunning(m_audioUnit, running) == kAudioNoError && running != 0;
}

void AudioInputDeviceManager::fail(const QString& message, AudioStatus status) {
    printDiagnostic(message + statusText(status));
    teardownSilently();
}

void AudioInputDeviceManager::teardownSilently() {
    if (m_audioUnit != nullptr) {
        // Once the unit is stopped no callback runs, so the fields below can change freely.
        m_hal.stopUnit(m_audioUnit);
        m_hal.uninitializeUnit(m_audioUnit);
        m_hal.disposeUnit(m_audioUnit);
    }
    m_audioUnit = nullptr;
    m_isCapturing = false;
    m_captureDeviceID = 0;
    m_clientHandler.reset();
    m_callbackQueue.reset();
    m_streamFormat.reset();
    m_sampleRate = 0;
    m_channelCount = 0;
    m_bytesPerFrame = 0;
    m_scratch.reset();
    m_scratchCapacityFrames = 0;
}

AudioStatus AudioInputDeviceManager::inputCallback(void* refCon, AudioRenderActionFlags* actionFlags,
                                                   const AudioTimeStamp* timeStamp, std::uint32_t busNumber,
                                                   std::uint32_t frameCount, AudioBufferList*) {
    return static_cast<AudioInputDeviceManager*>(refCon)->onInput(actionFlags, timeStamp, busNumber,
                                                                  frameCount);
}

AudioStatus AudioInputDeviceManager::onInput(AudioRenderActionFlags* actionFlags,
                                             const AudioTimeStamp* timeStamp, std::uint32_t busNumber,
                                             std::uint32_t frameCount) {
    if (m_audioUnit == nullptr) {
        return kAudioNoError;
    }
    if (!m_hasLoggedFirstRender.exchange(true, std::memory_order_relaxed)) {
        printDiagnostic(QStringLiteral("📡 HAL render callback first fire: bus ") +
                        QString::number(busNumber) + QStringLiteral(" frames:") +
                        QString::number(frameCount));
    }
    if (!m_scratch || !m_streamFormat || frameCount > std::uint32_t(m_scratchCapacityFrames)) {
        return kAudioNoError;
    }
    const std::uint32_t channels = m_streamFormat->mChannelsPerFrame;
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = channels;
    list.mBuffers[0].mDataByteSize = frameCount * m_streamFormat->mBytesPerFrame;
    list.mBuffers[0].mData = m_scratch.get();
    if (m_hal.render(m_audioUnit, actionFlags, timeStamp, 1, frameCount, &list) != kAudioNoError) {
        return kAudioNoError;
    }
    if (!m_clientHandler || !m_callbackQueue) {
        return kAudioNoError;
    }
    std::vector<float> samples(std::size_t(frameCount) * channels);
    if (!samples.empty()) {
        std::memcpy(samples.data(), m_scratch.get(), samples.size() * sizeof(float));
    }
    m_callbackQueue->async(
        [handler = m_clientHandler, samples = std::move(samples), frameCount, channels,
         rate = m_streamFormat->mSampleRate] { (*handler)(samples, frameCount, channels, rate); });
    return kAudioNoError;
}

} // namespace tavix
