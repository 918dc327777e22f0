#include "timecodestaging.h"

#include "platform/unicodetext.h"
#include "timecode/timecodevalidator.h"

#include <QCoreApplication>

#include <algorithm>

namespace tavix {

AudioDeviceChoice makeAudioDeviceChoice(std::uint32_t deviceID, const QString& name,
                                        std::uint32_t channelCount, bool isMicrophone) {
    return AudioDeviceChoice{deviceID, name, QString::number(deviceID), channelCount, isMicrophone};
}

QString deviceMenuTitle(const AudioDeviceChoice& choice) {
    return QCoreApplication::translate("tavix::TimecodeSettingsEditor", "%1 (%2 ch)",
                                       "device and its channel count")
        .arg(choice.name)
        .arg(choice.channelCount);
}

void sortDeviceChoices(std::vector<AudioDeviceChoice>& choices) {
    std::stable_sort(choices.begin(), choices.end(),
                     [](const AudioDeviceChoice& a, const AudioDeviceChoice& b) {
                         return compareLocalizedCaseInsensitive(a.name, b.name) < 0;
                     });
}

QString notConnectedMenuTitle(const QString& deviceIDString, const std::optional<QString>& name) {
    return QStringLiteral("Not connected (") + (name && !name->isEmpty() ? *name : deviceIDString) +
           QStringLiteral(")");
}

IncomingText incomingText(bool hasLiveTimecode, double measuredFps, bool dropFrame,
                          TimecodeFrameRate chosen) {
    if (!hasLiveTimecode) {
        return {QStringLiteral("No LTC"), false};
    }
    if (!(measuredFps > 0)) {
        return {QStringLiteral("LTC, measuring its frame rate\u2026"), false};
    }
    const std::optional<TimecodeFrameRate> detected = classifyFrameRate(measuredFps, dropFrame);
    if (!detected) {
        return {QStringLiteral("LTC at ") + QString::number(measuredFps, 'f', 2) +
                    QStringLiteral(" fps: not a standard rate"),
                true};
    }
    if (*detected != chosen) {
        return {QStringLiteral("LTC at ") + frameRateText(*detected) + QStringLiteral(", not ") +
                    frameRateText(chosen),
                true};
    }
    return {QStringLiteral("LTC at ") + frameRateText(*detected), false};
}

QString channelMenuTitle(std::int64_t channelIndex) {
    return QCoreApplication::translate("tavix::TimecodeSettingsEditor", "Ch %1", "audio channel")
        .arg(channelIndex + 1);
}

QString frameRateMenuTitle(TimecodeFrameRate rate) {
    return rawValue(rate);
}

bool TimecodeStaging::appear(const TimecodeSettings& stored) {
    if (m_hasAppeared) {
        return false;
    }
    m_hasAppeared = true;
    // Taken as stored, without the channel clamp: the device list is not there yet, and clamping
    // against an empty list would throw a stored channel other than the first away.
    m_stored = stored;
    m_stagedDeviceIDString = stored.audioInputDeviceID.value_or(QString());
    m_stagedChannelIndex = stored.audioChannelIndex;
    m_stagedFrameRate = stored.frameRate;
    return true;
}

bool TimecodeStaging::beginLoading(bool force) {
    if (m_isLoading && !force) {
        return false;
    }
    m_isLoading = true;
    return true;
}

void TimecodeStaging::finishLoading(std::vector<AudioDeviceChoice> choices) {
    sortDeviceChoices(choices);
    m_devices = std::move(choices);
    m_hasListed = true;
    // An interface unplugged for the moment stays the clock's input: only the user replaces it.
    if (m_stagedDeviceIDString.isEmpty() && !m_devices.empty()) {
        m_stagedDeviceIDString = m_devices.front().deviceIDString;
        m_stagedChannelIndex = 0;
    }
    m_isLoading = false;
}

void TimecodeStaging::setStagedDevice(const QString& deviceIDString) {
    if (deviceIDString == m_stagedDeviceIDString) {
        return;
    }
    m_stagedDeviceIDString = deviceIDString;
    clampChannel();
}

void TimecodeStaging::clampChannel() {
    // Only a listed device has a channel count to clamp against. The menus offer listed devices
    // only, so an unlisted one means the list is not loaded yet: keep the channel for when it is.
    if (const AudioDeviceChoice* device = stagedDevice()) {
        const std::int64_t last = std::max<std::int64_t>(0, std::int64_t{device->channelCount} - 1);
        m_stagedChannelIndex = std::min(m_stagedChannelIndex, last);
    }
}

const AudioDeviceChoice* TimecodeStaging::stagedDevice() const {
    const auto found =
        std::find_if(m_devices.begin(), m_devices.end(), [this](const AudioDeviceChoice& choice) {
            return choice.deviceIDString == m_stagedDeviceIDString;
        });
    return found == m_devices.end() ? nullptr : &*found;
}

std::optional<QString> TimecodeStaging::notConnectedDeviceIDString() const {
    const QString stored = m_stored.audioInputDeviceID.value_or(QString());
    if (!m_hasListed || stored.isEmpty() ||
        std::any_of(m_devices.begin(), m_devices.end(),
                    [&stored](const AudioDeviceChoice& choice) { return choice.deviceIDString == stored; })) {
        return std::nullopt;
    }
    return stored;
}

QString TimecodeStaging::notConnectedTitle() const {
    return notConnectedMenuTitle(notConnectedDeviceIDString().value_or(QString()),
                                 m_stored.audioInputDeviceName);
}

bool TimecodeStaging::isStagedDeviceNotConnected() const {
    return notConnectedDeviceIDString() == m_stagedDeviceIDString;
}

std::uint32_t TimecodeStaging::stagedChannelCount() const {
    const AudioDeviceChoice* device = stagedDevice();
    return device ? device->channelCount : 0;
}

bool TimecodeStaging::isStagedDeviceInternal() const {
    const AudioDeviceChoice* device = stagedDevice();
    return device && device->isMicrophone;
}

bool TimecodeStaging::canApply() const {
    if (isStagedDeviceNotConnected()) {
        return m_stagedChannelIndex == m_stored.audioChannelIndex;
    }
    const AudioDeviceChoice* device = stagedDevice();
    return device && m_stagedChannelIndex >= 0 && m_stagedChannelIndex < std::int64_t{device->channelCount};
}

std::optional<TimecodeSettings> TimecodeStaging::settingsToApply(const TimecodeSettings& stored) const {
    if (!canApply() || (m_forbidInternalDevices && isStagedDeviceInternal())) {
        return std::nullopt;
    }
    TimecodeSettings settings;
    settings = stored; // the fields not staged here stay as stored
    settings.audioInputDeviceID =
        m_stagedDeviceIDString.isEmpty() ? std::nullopt : std::optional<QString>(m_stagedDeviceIDString);
    settings.audioChannelIndex = m_stagedChannelIndex;
    settings.frameRate = m_stagedFrameRate;
    if (const AudioDeviceChoice* device = stagedDevice()) {
        settings.audioInputDeviceName = device->name;
    }
    return settings;
}

} // namespace tavix
