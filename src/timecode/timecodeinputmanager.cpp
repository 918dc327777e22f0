#include "timecodeinputmanager.h"

#include "platform/diagnostics.h"
#include "platform/mainthreadinbox.h"
#include "platform/serialqueue.h"
#include "timecodeblockprocessor.h"
#include "timecoderuntime.h"
#include "timecodevalidator.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>

namespace tavix {

namespace {

/// The settings hold a valid device id that is not among `devices`.
bool namesUnlistedDevice(const TimecodeSettings& settings, const std::vector<AudioInputDeviceInfo>& devices) {
    const auto id = settings.audioInputDeviceID
                        ? TimecodeInputManager::parseDeviceID(*settings.audioInputDeviceID)
                        : std::nullopt;
    return id && std::none_of(devices.begin(), devices.end(),
                              [&id](const AudioInputDeviceInfo& d) { return d.deviceID == *id; });
}

void announceLoss() {
    printDiagnostic(QStringLiteral("📡 TimecodeInputManager: no LTC for 10 frames; the clock shows NO LTC"));
}

} // namespace

struct TimecodeInputManager::HandlerState {
    std::atomic<bool> retired = false;     // set when the owner goes; later blocks are ignored
    TimecodeInputManager* owner = nullptr; // dereferenced only by tasks that the owner's inbox runs
    MainThreadInbox::Sender sender;
    TimecodeBlockProcessor processor;
};

TimecodeInputManager::TimecodeInputManager(AudioHal* hal, TimecodeRuntime* runtime, TimecodeSettings settings,
                                           QObject* parent)
    : QObject(parent), m_hal(hal), m_runtime(runtime), m_settings(std::move(settings)),
      m_queue(std::make_shared<SerialQueue>("TimecodeInputManager.HAL")), m_inbox(new MainThreadInbox(this)),
      m_supervisionTimer(new QTimer(this)), m_arrivalWatchdog(new QTimer(this)) {
    m_handlerState = std::make_shared<HandlerState>();
    m_handlerState->owner = this;
    m_handlerState->sender = m_inbox->sender();
    m_supervisionTimer->setInterval(kRetryIntervalMs);
    connect(m_supervisionTimer, &QTimer::timeout, this, &TimecodeInputManager::superviseCapture);
    m_arrivalWatchdog->setInterval(50);
    connect(m_arrivalWatchdog, &QTimer::timeout, this, &TimecodeInputManager::checkArrival);
}

TimecodeInputManager::~TimecodeInputManager() {
    m_supervisionTimer->stop();
    m_arrivalWatchdog->stop();
    m_inputManager.reset(); // stops the unit: no block is handed over after this
    // Blocks still queued are ignored; the decoder is freed here, after the queue's thread has
    // finished with it.
    m_handlerState->retired = true;
    m_queue.reset();
    m_handlerState.reset();
}

std::optional<std::uint32_t> TimecodeInputManager::parseDeviceID(const QString& text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + std::uint64_t(c - u'0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    if (negative && value != 0) {
        return std::nullopt;
    }
    return std::uint32_t(value);
}

bool TimecodeInputManager::isBuiltInMicrophone(const AudioInputDeviceInfo& device) {
    if (device.inputChannelCount >= 3) {
        return false;
    }
    static const std::array<QString, 4> words = {QStringLiteral("macbook"), QStringLiteral("built"),
                                                 QStringLiteral("microphone"), QStringLiteral("internal")};
    const QString name = device.name.toLower();
    return std::any_of(words.begin(), words.end(),
                       [&name](const QString& word) { return name.contains(word); });
}

std::optional<AudioInputDeviceInfo>
TimecodeInputManager::resolveDevice(const TimecodeSettings& settings,
                                    const std::vector<AudioInputDeviceInfo>& devices) {
    if (!settings.audioInputDeviceID || settings.audioInputDeviceID->isEmpty()) {
        return std::nullopt;
    }
    const auto id = parseDeviceID(*settings.audioInputDeviceID);
    if (!id) {
        return std::nullopt;
    }
    const auto it =
        std::find_if(devices.begin(), devices.end(), [&](const auto& d) { return d.deviceID == *id; });
    if (it == devices.end() || isBuiltInMicrophone(*it)) {
        return std::nullopt;
    }
    return *it;
}

void TimecodeInputManager::start() {
    stop();
    if (m_hal == nullptr) {
        return;
    }
    const std::vector<AudioInputDeviceInfo> devices = listInputDevices(*m_hal);
    const auto device = resolveDevice(m_settings, devices);
    if (!device) {
        // stop() has already set the level to 0. An interface not plugged in yet, or a sound
        // server not started yet, is looked for again as after a lost capture.
        if (namesUnlistedDevice(m_settings, devices)) {
            m_supervision = Supervision::retrying;
            m_supervisionTimer->start();
        }
        return;
    }
    beginCapture(device->deviceID);
    if (isCapturing()) {
        m_supervision = Supervision::watching;
        m_supervisionTimer->start();
    }
}

void TimecodeInputManager::stop() {
    m_supervision = Supervision::off;
    m_supervisionTimer->stop();
    releaseCapture(true);
    if (m_runtime) {
        m_runtime->setLevel(0);
    }
}

void TimecodeInputManager::releaseCapture(bool announce) {
    if (m_inputManager) {
        if (announce) {
            m_inputManager->stop();
        } else {
            m_inputManager->stopSilently();
        }
        m_inputManager.reset();
    }
    ++m_captureGeneration;
}

void TimecodeInputManager::beginCapture(AudioDeviceID deviceID) {
    m_inputManager = std::make_unique<AudioInputDeviceManager>(*m_hal);
    const std::uint64_t generation = ++m_captureGeneration;
    // The handler keeps its own copy of what it reads, so that the owner may change the settings
    // while blocks of this capture are still queued.
    const std::int64_t channelIndex = m_settings.audioChannelIndex;
    const double fps = framesPerSecond(m_settings.frameRate);
    auto handler = [weak = std::weak_ptr<HandlerState>(m_handlerState), generation, deviceID, channelIndex,
                    fps, printedFirstCallback = false](const std::vector<float>& samples,
                                                       std::uint32_t frameCount, std::uint32_t channelCount,
                                                       double sampleRate) mutable {
        const std::shared_ptr<HandlerState> state = weak.lock();
        if (!state || state->retired) {
            return;
        }
        const bool firstBlock = !printedFirstCallback;
        if (firstBlock) {
            printedFirstCallback = true;
            printDiagnostic(QStringLiteral("📡 HAL render callback first fire: bus 0 frames:") +
                            QString::number(frameCount));
        }
        TimecodeInputManager* owner = state->owner;
        if (channelCount == 0 || frameCount == 0 || samples.size() / channelCount < frameCount) {
            state->sender.post([owner, generation] { owner->applyBlock(generation, TimecodeBlockResult{}); });
            return;
        }
        const TimecodeBlockResult result = state->processor.process(
            samples.data(), frameCount, channelCount, sampleRate, channelIndex, fps, firstBlock);
        // At most one line a minute each, judged over 10 s of audio: never one per block.
        if (result.rejectedFrames > 0 || result.unreadableSignal) {
            const QString input =
                QStringLiteral(" on deviceID ") + QString::number(deviceID) + QStringLiteral(" channel ") +
                QString::number(TimecodeBlockProcessor::selectChannel(channelIndex, channelCount) + 1);
            if (result.rejectedFrames > 0) {
                printDiagnostic(QStringLiteral("⚠️ TimecodeInputManager: ") +
                                QString::number(result.rejectedFrames) +
                                QStringLiteral(" LTC frames rejected in 10 s") + input +
                                QStringLiteral(" (impossible values, or jumps that the next frame did not "
                                               "confirm): noisy or mixed timecode"));
            }
            if (result.unreadableSignal) {
                printDiagnostic(
                    QStringLiteral("⚠️ TimecodeInputManager: a signal but no readable LTC in 10 s") +
                    input + QStringLiteral(": noise, hum, or the wrong channel"));
            }
        }
        state->sender.post([owner, generation, result] { owner->applyBlock(generation, result); });
    };
    m_inputManager->startCapture(deviceID, m_queue, std::move(handler));
}

void TimecodeInputManager::applyBlock(std::uint64_t generation, const TimecodeBlockResult& result) {
    if (!m_runtime) {
        return;
    }
    TimecodeRuntime::Input input;
    if (result.time) {
        const DecodedTimecode& t = *result.time;
        input.liveTime = TimecodeRuntime::Time{t.hours, t.minutes, t.seconds, t.frames, t.dropFrame};
    }
    if (generation != m_captureGeneration) {
        // A block queued before a stop must not leave a level or a live signal standing for a
        // stopped input; the time it decoded is still the newest one.
        input.level.reset();
        input.hasLiveTimecode = m_runtime->hasLiveTimecode();
        input.measuredFramesPerSecond = m_runtime->measuredFramesPerSecond();
        m_runtime->setInput(input);
        return;
    }
    if (std::isfinite(result.level)) {
        input.level = std::clamp(result.level, 0.0f, 1.0f);
    }
    input.hasLiveTimecode = result.hasLiveTimecode;
    m_shownFrames = result.shownFrames;
    if (m_lostAtShownFrames) {
        // A capture that stalled and then delivers what it held: the audio clock has not seen the
        // stall, so only a new frame makes the timecode live again.
        if (!result.hasLiveTimecode || result.shownFrames > *m_lostAtShownFrames) {
            m_lostAtShownFrames.reset();
        } else {
            input.hasLiveTimecode = false;
        }
    }
    input.measuredFramesPerSecond = result.measuredFramesPerSecond;
    const bool wasLive = m_runtime->hasLiveTimecode();
    m_runtime->setInput(input);

    if (!input.hasLiveTimecode) {
        m_arrivalWatchdog->stop();
        if (wasLive) {
            announceLoss();
        }
        return;
    }
    m_sinceArrival.start();
    if (!m_arrivalWatchdog->isActive()) {
        m_arrivalWatchdog->start();
    }
    if (!wasLive) {
        printDiagnostic(QStringLiteral("📡 TimecodeInputManager: receiving LTC"));
    }
    const std::optional<TimecodeFrameRate> detected = m_runtime->detectedFrameRate();
    if (detected && detected != m_announcedRate) {
        m_announcedRate = detected;
        if (*detected == m_settings.frameRate) {
            printDiagnostic(QStringLiteral("📡 TimecodeInputManager: LTC runs at ") +
                            frameRateText(*detected));
        } else {
            printDiagnostic(QStringLiteral("⚠️ TimecodeInputManager: LTC runs at ") +
                            frameRateText(*detected) + QStringLiteral(", but the clock is set to ") +
                            frameRateText(m_settings.frameRate));
        }
    }
}

int TimecodeInputManager::arrivalTimeoutMs() const {
    double fps = m_runtime ? m_runtime->measuredFramesPerSecond() : 0;
    if (!(fps > 0)) {
        fps = framesPerSecond(m_settings.frameRate);
    }
    return int(std::ceil(TimecodeValidator::kLostAfterFrames * 1000 / fps)) + kArrivalSlackMs;
}

void TimecodeInputManager::checkArrival() {
    if (!m_runtime || !m_runtime->hasLiveTimecode()) {
        m_arrivalWatchdog->stop();
        return;
    }
    if (m_sinceArrival.isValid() && m_sinceArrival.elapsed() > arrivalTimeoutMs()) {
        timecodeLost();
    }
}

void TimecodeInputManager::timecodeLost() {
    m_arrivalWatchdog->stop();
    if (m_runtime && m_runtime->hasLiveTimecode()) {
        m_lostAtShownFrames = m_shownFrames;
        m_runtime->setHasLiveTimecode(false);
        announceLoss();
    }
}

void TimecodeInputManager::superviseCapture() {
    if (m_supervision == Supervision::watching) {
        if (m_inputManager && m_inputManager->isRunning()) {
            return;
        }
        const AudioDeviceID lost = m_inputManager ? m_inputManager->captureDeviceID() : 0;
        printDiagnostic(QStringLiteral("⚠️ TimecodeInputManager: capture from deviceID ") +
                        QString::number(lost) + QStringLiteral(" lost; trying again every 2 s"));
        releaseCapture(false);
        if (m_runtime) {
            m_runtime->setLevel(0);
        }
        m_supervision = Supervision::retrying;
        return;
    }
    if (m_supervision != Supervision::retrying || m_hal == nullptr) {
        return;
    }
    // Quietly, so that a long outage does not repeat the listing's lines every 2 s.
    const auto device = resolveDevice(m_settings, listInputDevicesQuietly(*m_hal));
    if (!device) {
        return;
    }
    releaseCapture(false);
    beginCapture(device->deviceID);
    if (isCapturing()) {
        m_supervision = Supervision::watching;
    }
}

void TimecodeInputManager::setRetryIntervalMs(int intervalMs) {
    m_supervisionTimer->setInterval(intervalMs);
}

void TimecodeInputManager::waitForPendingBlocks() {
    m_queue->sync([] {});
    m_inbox->drain();
}

std::optional<DecodedTimecode> TimecodeInputManager::lastDecoded() const {
    std::optional<DecodedTimecode> time;
    HandlerState* state = m_handlerState.get();
    m_queue->sync([&time, state] { time = state->processor.decoder().lastDecoded(); });
    return time;
}

} // namespace tavix
