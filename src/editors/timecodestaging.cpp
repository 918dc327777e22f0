#include "timecodestaging.h"

#include "platform/unicodetext.h"

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
    if (!stagedDevice()) {
        m_stagedDeviceIDString = m_devices.empty() ? QString() : m_devices.front().deviceIDString;
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

std::uint32_t TimecodeStaging::stagedChannelCount() const {
    const AudioDeviceChoice* device = stagedDevice();
    return device ? device->channelCount : 0;
}

bool TimecodeStaging::isStagedDeviceInternal() const {
    const AudioDeviceChoice* device = stagedDevice();
    return device && device->isMicrophone;
}

bool TimecodeStaging::canApply() const {
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
    return settings;
}

} // namespace tavix
