#include "timecodeinputmanager.h"

#include "platform/diagnostics.h"
#include "platform/mainthreadinbox.h"
#include "platform/capturequeue.h"
#include "timecodeblockprocessor.h"
#include "timecoderuntime.h"
#include "timecodevalidator.h"

#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <limits>
#include <utility>

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

TimecodeInputManager::TimecodeInputManager(AudioBackend* audio, TimecodeRuntime* runtime,
                                           TimecodeSettings settings, QObject* parent)
    : QObject(parent), m_audio(audio), m_runtime(runtime), m_settings(std::move(settings)),
      m_queue(std::make_shared<CaptureQueue>("TimecodeInputManager.HAL")), m_inbox(new MainThreadInbox(this)),
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
    m_changes.reset();
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
    if (it == devices.end() || judgeMicrophone(*it).isMicrophone) {
        return std::nullopt;
    }
    return *it;
}

std::optional<AudioInputDeviceInfo>
TimecodeInputManager::usableDevice(const std::vector<AudioInputDeviceInfo>& devices) {
    const auto named = resolveDevice(m_settings, devices);
    const std::optional<std::uint32_t> parsed =
        m_settings.audioInputDeviceID ? parseDeviceID(*m_settings.audioInputDeviceID) : std::nullopt;
    if (!parsed) {
        return named;
    }
    const std::uint32_t id = *parsed;
    const auto it = std::find_if(devices.begin(), devices.end(),
                                 [id](const AudioInputDeviceInfo& d) { return d.deviceID == id; });
    if (it != devices.end() && m_judgedByName != it->deviceID) {
        const MicrophoneVerdict verdict = judgeMicrophone(*it);
        if (verdict.evidence == MicrophoneEvidence::name) {
            m_judgedByName = it->deviceID;
            printDiagnostic(
                QStringLiteral("⚠️ TimecodeInputManager: the sound server tells no port or form factor "
                               "of deviceID ") +
                QString::number(it->deviceID) + QStringLiteral(" (") + it->name +
                (verdict.isMicrophone ? QStringLiteral("); its name says microphone, not used for LTC")
                                      : QStringLiteral("); taken as a line input")));
        }
    }
    return named;
}

void TimecodeInputManager::start() {
    stop();
    if (m_audio == nullptr) {
        return;
    }
    m_supervision = Supervision::starting;
    // The server's own news of sources coming, changing and going, and of itself, brings a lost
    // input back at once; the 2 s retry stays for when there is no connection to hear it on.
    m_changePending->store(false);
    m_changes =
        m_audio->subscribeToChanges([sender = m_inbox->sender(), pending = m_changePending, owner = this] {
            if (!pending->exchange(true)) { // one task for a burst of changes
                sender.post([owner] { owner->onServerChange(); });
            }
        });
    requestListing(true);
}

void TimecodeInputManager::stop() {
    m_supervision = Supervision::off;
    m_supervisionTimer->stop();
    m_changes.reset();     // no change is reported after this
    ++m_listingGeneration; // a listing still running is for a start that no longer counts
    m_listAgain = false;
    releaseCapture(true);
    if (m_runtime) {
        m_runtime->setLevel(0);
    }
}

void TimecodeInputManager::requestListing(bool printing) {
    if (m_listing) {
        // One listing at a time: a server that does not answer must not pile them up.
        m_listAgain = true;
        m_listAgainPrinting = m_listAgainPrinting || printing;
        return;
    }
    m_listing = true;
    // The listing waits for the server, up to its timeout, so it runs on the backend's worker; the
    // main thread only takes the result. The inbox drops it if this manager has gone meanwhile.
    m_audio->post([audio = m_audio, sender = m_inbox->sender(), printing, generation = m_listingGeneration,
                   owner = this] {
        std::vector<AudioInputDeviceInfo> devices =
            printing ? listInputDevices(*audio) : listInputDevicesQuietly(*audio);
        sender.post(
            [owner, generation, devices = std::move(devices)] { owner->onListed(generation, devices); });
    });
}

void TimecodeInputManager::onListed(std::uint64_t generation,
                                    const std::vector<AudioInputDeviceInfo>& devices) {
    m_listing = false;
    if (generation == m_listingGeneration) {
        takeListing(devices);
    }
    if (m_listAgain) {
        m_listAgain = false;
        const bool printing = std::exchange(m_listAgainPrinting, false);
        if (m_supervision == Supervision::starting || m_supervision == Supervision::retrying) {
            requestListing(printing);
        }
    }
}

void TimecodeInputManager::takeListing(const std::vector<AudioInputDeviceInfo>& devices) {
    if (m_supervision != Supervision::starting && m_supervision != Supervision::retrying) {
        return;
    }
    const bool retrying = m_supervision == Supervision::retrying;
    m_lastListingEmpty = devices.empty();
    const auto device = usableDevice(devices);
    if (!device) {
        // The level is 0 already. An interface not plugged in yet, or a sound server not started
        // yet, is looked for again as after a lost capture; anything else ends the start.
        if (retrying || namesUnlistedDevice(m_settings, devices)) {
            m_supervision = Supervision::retrying;
            m_supervisionTimer->start();
        } else {
            m_supervision = Supervision::off;
        }
        return;
    }
    releaseCapture(false);
    beginCapture(device->deviceID);
    if (isCapturing()) {
        m_supervision = Supervision::watching;
        m_lastDelivered = 0;
        m_lastProgress.start();
        m_reportedStall = false;
        m_supervisionTimer->start();
    } else if (!retrying) {
        m_supervision = Supervision::off;
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

void TimecodeInputManager::beginCapture(InputDeviceId deviceID) {
    m_inputManager = std::make_unique<AudioInputDeviceManager>(*m_audio);
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

void TimecodeInputManager::onServerChange() {
    m_changePending->store(false);
    checkCapture(true);
}

void TimecodeInputManager::superviseCapture() {
    checkCapture(false);
}

void TimecodeInputManager::checkCapture(bool serverChanged) {
    if (m_supervision == Supervision::starting && serverChanged) {
        requestListing(false); // the listing under way may have missed what just changed
        return;
    }
    if (m_supervision == Supervision::watching) {
        if (m_inputManager && m_inputManager->isRunning()) {
            watchForStall();
            return;
        }
        const InputDeviceId lost = m_inputManager ? m_inputManager->captureDeviceID() : 0;
        printDiagnostic(QStringLiteral("⚠️ TimecodeInputManager: capture from deviceID ") +
                        QString::number(lost) + QStringLiteral(" lost; trying again every 2 s"));
        releaseCapture(false);
        if (m_runtime) {
            m_runtime->setLevel(0);
        }
        m_supervision = Supervision::retrying;
        requestListing(false); // the device may be back already, without news still to come
        return;
    }
    // Quietly, so that a long outage does not repeat the listing's lines every 2 s. On the timer
    // only while the backend cannot tell us when something changes, or when the last listing got
    // nothing at all (a server that does not answer still looks connected).
    if (m_supervision == Supervision::retrying &&
        (serverChanged || m_lastListingEmpty || !m_audio->reportsChanges())) {
        requestListing(false);
    }
}

void TimecodeInputManager::watchForStall() {
    // A server that hangs keeps its streams "ready" but sends nothing: say so once, keep the
    // capture, and let the audio flow on when the server does.
    const std::uint64_t delivered = m_inputManager->deliveredBlocks();
    if (delivered != m_lastDelivered) {
        m_lastDelivered = delivered;
        m_lastProgress.start();
        m_reportedStall = false;
        return;
    }
    // A new stream's first audio can take a moment on a busy machine (the server sets the stream
    // up first); a stream that delivered and then stopped is what a hung server looks like.
    const qint64 allowanceMs = delivered == 0 ? 2 * kStallMs : kStallMs;
    if (!m_reportedStall && m_lastProgress.elapsed() >= allowanceMs) {
        m_reportedStall = true;
        printDiagnostic(QStringLiteral("⚠️ TimecodeInputManager: no audio from deviceID ") +
                        QString::number(m_inputManager->captureDeviceID()) +
                        QStringLiteral(" for 2 s; the sound server does not answer"));
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
