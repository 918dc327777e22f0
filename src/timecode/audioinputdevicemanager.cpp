#include "audioinputdevicemanager.h"

#include "platform/diagnostics.h"
#include "platform/serialqueue.h"

#include <charconv>
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

std::vector<AudioInputDeviceInfo> listDevices(AudioBackend& backend, bool printing) {
    const auto print = [printing](const QString& line) {
        if (printing) {
            printDiagnostic(line);
        }
    };
    if (backend.inputAccess() != InputAccess::granted) {
        print(QStringLiteral("🔒 listInputDevices: microphone not authorized (no devices listed). "
                             "Call requestAuthorization() first."));
        return {};
    }
    // Reaching the server is what the listing's first step reports; reading its sources the second.
    AudioStatus status = backend.connect();
    if (status != kAudioNoError) {
        print(QStringLiteral("⚠️ listInputDevices: couldn't get device list size (") +
              statusText(status) + QStringLiteral(")"));
        return {};
    }
    std::vector<SourceInfo> sources;
    status = backend.listSources(sources);
    if (status != kAudioNoError) {
        print(QStringLiteral("⚠️ listInputDevices: couldn't get device list (") + statusText(status) +
              QStringLiteral(")"));
        return {};
    }
    if (sources.empty()) {
        print(QStringLiteral("⚠️ listInputDevices: couldn't get device list size (0)"));
        return {};
    }
    std::vector<AudioInputDeviceInfo> devices;
    devices.reserve(sources.size());
    for (const SourceInfo& source : sources) {
        if (source.channels == 0) {
            continue;
        }
        const QString name =
            source.description.value_or(QStringLiteral("Device ") + QString::number(source.id));
        devices.push_back(AudioInputDeviceInfo{source.id, name, source.channels});
    }
    return devices;
}

} // namespace

std::vector<AudioInputDeviceInfo> listInputDevices(AudioBackend& backend) {
    return listDevices(backend, true);
}

std::vector<AudioInputDeviceInfo> listInputDevicesQuietly(AudioBackend& backend) {
    return listDevices(backend, false);
}

AudioInputDeviceManager::AudioInputDeviceManager(AudioBackend& backend) : m_backend(backend) {}

AudioInputDeviceManager::~AudioInputDeviceManager() {
    stop();
}

void AudioInputDeviceManager::startCapture(InputDeviceId deviceID, std::shared_ptr<SerialQueue> queue,
                                           AudioBlockHandler handler) {
    if (m_backend.inputAccess() != InputAccess::granted) {
        printDiagnostic(
            QStringLiteral("🔒 startCapture: microphone not authorized. Call requestAuthorization() first."));
        return;
    }
    stop();
    m_captureDeviceID = deviceID;
    m_callbackQueue = std::move(queue);
    m_clientHandler = handler ? std::make_shared<const AudioBlockHandler>(std::move(handler)) : nullptr;
    m_hasLoggedFirstRender = false;

    // The lines keep the wording users and scripts know, whatever the backend calls its steps.
    if (!m_backend.canCapture()) {
        printDiagnostic(QStringLiteral("❌ HALOutput component not found"));
        return;
    }
    AudioStatus status = m_backend.newCaptureStream(m_stream);
    if (status != kAudioNoError || !m_stream) {
        m_stream.reset();
        printDiagnostic(QStringLiteral("❌ AudioComponentInstanceNew failed ") + statusText(status));
        return;
    }
    CaptureStream& stream = *m_stream;
    if ((status = stream.enableRecording(true)) != kAudioNoError) {
        return fail(QStringLiteral("❌ enable input (bus1) failed "), status);
    }
    if ((status = stream.enablePlayback(false)) != kAudioNoError) {
        return fail(QStringLiteral("❌ disable output (bus0) failed "), status);
    }
    if ((status = stream.setSource(deviceID)) != kAudioNoError) {
        return fail(QStringLiteral("❌ set current device failed "), status);
    }
    printDiagnostic(QStringLiteral("🔧 HAL using deviceID ") + QString::number(deviceID) +
                    QStringLiteral(" (set as CurrentDevice)"));

    SampleSpec sourceSpec;
    if ((status = stream.sourceSpec(sourceSpec)) != kAudioNoError) {
        return fail(QStringLiteral("❌ get stream format (input/bus1) failed "), status);
    }
    // Interleaved 32-bit float at the source's own rate and channel count.
    const SampleSpec clientSpec{SampleFormat::float32, sourceSpec.rate, sourceSpec.channels};
    // A format that no float buffer can describe is refused here rather than wrapping 4 x channels.
    if (clientSpec.channels > kMaxCaptureChannels) {
        return fail(QStringLiteral("❌ set stream format (output/bus1) failed "), kAudioBadParameter);
    }
    if ((status = stream.setClientSpec(clientSpec)) != kAudioNoError) {
        return fail(QStringLiteral("❌ set stream format (output/bus1) failed "), status);
    }
    m_clientSpec = clientSpec;
    m_sampleRate = clientSpec.rate;
    m_channelCount = int(clientSpec.channels);
    m_bytesPerFrame = int(4 * clientSpec.channels);

    if ((status = m_backend.setSourceBlockFrames(deviceID, kDeviceBufferFrames)) != kAudioNoError) {
        printDiagnostic(QStringLiteral("⚠️ could not set device buffer frames to ") +
                        QString::number(kDeviceBufferFrames) + QStringLiteral(": ") + statusText(status));
    }
    if ((status = stream.setMaximumBlockFrames(kMaximumFramesPerSlice)) != kAudioNoError) {
        printDiagnostic(QStringLiteral("⚠️ set MaxFramesPerSlice(") +
                        QString::number(kMaximumFramesPerSlice) + QStringLiteral(") failed ") +
                        statusText(status));
    }

    m_scratch = std::make_unique<float[]>(std::size_t(kScratchCapacityFrames) * clientSpec.channels);
    m_scratchCapacityFrames = int(kScratchCapacityFrames);

    if ((status = stream.setCallback(&AudioInputDeviceManager::captureCallback, this)) != kAudioNoError) {
        return fail(QStringLiteral("❌ set input callback failed "), status);
    }
    if ((status = stream.connect()) != kAudioNoError) {
        return fail(QStringLiteral("❌ AudioUnitInitialize failed "), status);
    }
    if ((status = stream.start()) != kAudioNoError) {
        return fail(QStringLiteral("❌ AudioOutputUnitStart failed "), status);
    }
    m_isCapturing = true;
    printDiagnostic(QStringLiteral("✅ AudioInputDeviceManager: capturing from deviceID ") +
                    QString::number(deviceID) + QStringLiteral(" • sr:") + rateText(m_sampleRate) +
                    QStringLiteral(" ch:") + QString::number(m_channelCount));
}

void AudioInputDeviceManager::stop() {
    if (!m_stream) {
        return;
    }
    teardownSilently();
    printDiagnostic(QStringLiteral("🛑 AudioInputDeviceManager: stopped"));
}

void AudioInputDeviceManager::stopSilently() {
    teardownSilently();
}

bool AudioInputDeviceManager::isRunning() const {
    return m_stream && m_isCapturing && m_stream->isRunning();
}

void AudioInputDeviceManager::fail(const QString& message, AudioStatus status) {
    printDiagnostic(message + statusText(status));
    teardownSilently();
}

void AudioInputDeviceManager::teardownSilently() {
    if (m_stream) {
        // Once the stream is stopped no callback runs, so the fields below can change freely.
        m_stream->stop();
        m_stream->disconnect();
        m_stream.reset();
    }
    m_isCapturing = false;
    m_captureDeviceID = 0;
    m_clientHandler.reset();
    m_callbackQueue.reset();
    m_clientSpec.reset();
    m_sampleRate = 0;
    m_channelCount = 0;
    m_bytesPerFrame = 0;
    m_scratch.reset();
    m_scratchCapacityFrames = 0;
}

void AudioInputDeviceManager::captureCallback(void* userData, std::uint32_t frameCount,
                                              const CaptureTimestamp&) {
    static_cast<AudioInputDeviceManager*>(userData)->onCapture(frameCount);
}

void AudioInputDeviceManager::onCapture(std::uint32_t frameCount) {
    if (!m_stream) {
        return;
    }
    if (!m_hasLoggedFirstRender.exchange(true, std::memory_order_relaxed)) {
        printDiagnostic(QStringLiteral("📡 HAL render callback first fire: bus 1 frames:") +
                        QString::number(frameCount));
    }
    if (!m_scratch || !m_clientSpec || frameCount > std::uint32_t(m_scratchCapacityFrames)) {
        return;
    }
    const std::uint32_t channels = m_clientSpec->channels;
    const std::size_t sampleCount = std::size_t(frameCount) * channels;
    if (m_stream->read(frameCount, m_scratch.get(), std::size_t(m_scratchCapacityFrames) * channels) !=
        kAudioNoError) {
        return;
    }
    if (!m_clientHandler || !m_callbackQueue) {
        return;
    }
    std::vector<float> samples(m_scratch.get(), m_scratch.get() + sampleCount);
    m_callbackQueue->async([handler = m_clientHandler, samples = std::move(samples), frameCount, channels,
                            rate = m_clientSpec->rate] { (*handler)(samples, frameCount, channels, rate); });
}

} // namespace tavix
