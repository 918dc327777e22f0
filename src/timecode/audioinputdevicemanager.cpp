#include "audioinputdevicemanager.h"

#include "platform/diagnostics.h"
#include "platform/capturequeue.h"

#include <algorithm>
#include <array>
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

/// Hands each block of a ring to the client on the capture queue, printing for the audio thread.
CaptureQueue::Drain makeDrain(std::shared_ptr<const AudioBlockHandler> handler) {
    return [handler = std::move(handler), samples = std::vector<float>(),
            reportedDrop = false](CaptureRing& ring) mutable {
        if (const auto frames = ring.takeFirstCallback()) {
            printDiagnostic(QStringLiteral("📡 HAL render callback first fire: bus 1 frames:") +
                            QString::number(*frames));
        }
        const float* data = nullptr;
        while (const CapturedBlockHeader* block = ring.front(data)) {
            const CapturedBlockHeader header = *block;
            // Copied out so that the slot is free again before the client's work; the array keeps
            // its storage from block to block.
            samples.assign(data, data + std::size_t(header.frameCount) * header.channelCount);
            ring.pop();
            (*handler)(samples, header.frameCount, header.channelCount, header.sampleRate);
        }
        if (!reportedDrop && ring.droppedBlocks() > 0) {
            reportedDrop = true;
            printDiagnostic(
                QStringLiteral("⚠️ AudioInputDeviceManager: the decoder fell behind; blocks are "
                               "being dropped"));
        }
    };
}

std::vector<AudioInputDeviceInfo> listDevices(AudioBackend& backend, bool printing) {
    const auto print = [printing](const QString& line) {
        if (printing) {
            printDiagnostic(line);
        }
    };
    // Reaching the server is what the listing's first step reports, reading its sources the
    // second; a server that does not answer in time gets a line of its own. Connecting first
    // lets the access check go by the connection just made.
    const auto failed = [&print](const char* what, AudioStatus status) {
        const QString reason = status == kAudioTimedOut
                                   ? QStringLiteral("the sound server does not answer")
                                   : QStringLiteral("couldn't get ") + QLatin1String(what);
        print(QStringLiteral("⚠️ listInputDevices: ") + reason + QStringLiteral(" (") +
              statusText(status) + QStringLiteral(")"));
        return std::vector<AudioInputDeviceInfo>{};
    };
    const AudioStatus connected = backend.connect();
    if (backend.inputAccess() != InputAccess::granted) {
        print(QStringLiteral(
            "🔒 listInputDevices: the sound server refused access to audio input (no devices listed)"));
        return {};
    }
    if (connected != kAudioNoError) {
        return failed("device list size", connected);
    }
    std::vector<SourceInfo> sources;
    if (const AudioStatus status = backend.listSources(sources)) {
        return failed("device list", status);
    }
    if (sources.empty()) {
        return failed("device list size", kAudioNoError);
    }
    std::vector<AudioInputDeviceInfo> devices;
    devices.reserve(sources.size());
    for (const SourceInfo& source : sources) {
        if (source.channels == 0) {
            continue;
        }
        const QString name =
            source.description.value_or(QStringLiteral("Device ") + QString::number(source.id));
        devices.push_back(AudioInputDeviceInfo{source.id, name, source.channels, source.traits});
    }
    return devices;
}

} // namespace

MicrophoneVerdict judgeMicrophone(const AudioInputDeviceInfo& device) {
    const SourceTraits& traits = device.traits;
    if (traits.isMonitor) {
        return {false, MicrophoneEvidence::monitor};
    }
    switch (traits.portType) {
    case PortType::microphone:
    case PortType::headset:
        return {true, MicrophoneEvidence::port};
    case PortType::line:
        return {false, MicrophoneEvidence::port};
    case PortType::unknown:
    case PortType::other:
        break;
    }
    if (!traits.portName.isEmpty()) {
        // Servers that give no port type still name their ports: "analog-input-mic", "[In] Mic1",
        // "analog-input-headset-mic" against "analog-input-linein", "[In] Line1".
        const QString port = traits.portName.toLower();
        return {port.contains(QStringLiteral("mic")) || port.contains(QStringLiteral("headset")),
                MicrophoneEvidence::port};
    }
    if (!traits.formFactor.isEmpty()) {
        static const std::array<QString, 5> microphones = {
            QStringLiteral("microphone"), QStringLiteral("headset"), QStringLiteral("webcam"),
            QStringLiteral("handset"), QStringLiteral("hands-free")};
        const QString formFactor = traits.formFactor.toLower();
        return {std::find(microphones.begin(), microphones.end(), formFactor) != microphones.end(),
                MicrophoneEvidence::formFactor};
    }
    if (device.inputChannelCount >= 3) {
        return {false, MicrophoneEvidence::name};
    }
    static const std::array<QString, 3> words = {QStringLiteral("macbook"), QStringLiteral("microphone"),
                                                 QStringLiteral("internal")};
    const QString name = device.name.toLower();
    return {
        std::any_of(words.begin(), words.end(), [&name](const QString& word) { return name.contains(word); }),
        MicrophoneEvidence::name};
}

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

void AudioInputDeviceManager::startCapture(InputDeviceId deviceID, std::shared_ptr<CaptureQueue> queue,
                                           AudioBlockHandler handler) {
    if (m_backend.inputAccess() != InputAccess::granted) {
        printDiagnostic(QStringLiteral(
            "🔒 startCapture: the sound server refused access to audio input (capture not started)"));
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

    // Everything the audio thread writes to is allocated here, before the stream runs.
    m_scratchCapacityFrames = int(kScratchCapacityFrames);
    if (m_clientHandler && m_callbackQueue) {
        const std::size_t samplesPerSlot = std::size_t(kScratchCapacityFrames) * clientSpec.channels;
        const std::size_t fitting = kRingBytesLimit / (samplesPerSlot * sizeof(float));
        const auto slotCount =
            std::uint32_t(std::clamp<std::size_t>(fitting, kMinimumRingBlocks, kRingBlocks));
        m_ring = std::make_shared<CaptureRing>(slotCount, samplesPerSlot, m_callbackQueue->doorbell());
        m_callbackQueue->attach(m_ring, makeDrain(m_clientHandler));
    }

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

std::uint64_t AudioInputDeviceManager::droppedBlocks() const {
    return m_ring ? m_ring->droppedBlocks() : 0;
}

std::uint64_t AudioInputDeviceManager::deliveredBlocks() const {
    return m_ring ? m_ring->publishedBlocks() : 0;
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
    if (m_ring) {
        // What the ring still holds is handled; then the queue lets it go.
        m_ring->close();
        m_ring.reset();
    }
    m_isCapturing = false;
    m_captureDeviceID = 0;
    m_clientHandler.reset();
    m_callbackQueue.reset();
    m_clientSpec.reset();
    m_sampleRate = 0;
    m_channelCount = 0;
    m_bytesPerFrame = 0;
    m_scratchCapacityFrames = 0;
}

void AudioInputDeviceManager::captureCallback(void* userData, std::uint32_t frameCount,
                                              const CaptureTimestamp& time) {
    static_cast<AudioInputDeviceManager*>(userData)->onCapture(frameCount, time);
}

void AudioInputDeviceManager::onCapture(std::uint32_t frameCount, const CaptureTimestamp& time) {
    // The real-time thread: no lock, no allocation, no printing. The queue prints for it.
    if (!m_stream) {
        return;
    }
    CaptureRing* ring = m_ring.get();
    if (!m_hasLoggedFirstRender.exchange(true, std::memory_order_relaxed) && ring != nullptr) {
        ring->noteFirstCallback(frameCount);
    }
    if (ring == nullptr || !m_clientSpec || frameCount > std::uint32_t(m_scratchCapacityFrames)) {
        return;
    }
    float* slot = ring->claim();
    if (slot == nullptr) {
        return; // dropped, and counted by the ring
    }
    if (m_stream->read(frameCount, slot, ring->samplesPerSlot()) != kAudioNoError) {
        return;
    }
    ring->publish(CapturedBlockHeader{frameCount, m_clientSpec->channels, m_clientSpec->rate, time});
}

} // namespace tavix
