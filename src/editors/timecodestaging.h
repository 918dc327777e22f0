#pragma once

#include "model/clockmodel.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace tavix {

/// One entry of the device menu.
struct AudioDeviceChoice {
    std::uint64_t id = 0;
    QString name;
    /// The decimal device id: the stored `audioInputDeviceID` and the menu's selection value.
    QString deviceIDString;
    std::uint32_t channelCount = 0;
    /// Taken for a microphone by the input side's rule (judgeMicrophone), so refused for LTC.
    bool isMicrophone = false;

    bool operator==(const AudioDeviceChoice&) const = default;
};

AudioDeviceChoice makeAudioDeviceChoice(std::uint32_t deviceID, const QString& name,
                                        std::uint32_t channelCount, bool isMicrophone = false);
/// "Line In (2 ch)".
QString deviceMenuTitle(const AudioDeviceChoice& choice);
/// Sorts by name in the current locale, ignoring case; equal names keep their listed order.
void sortDeviceChoices(std::vector<AudioDeviceChoice>& choices);
/// "Ch 1", "Ch 2", …
QString channelMenuTitle(std::int64_t channelIndex);
/// The frame-rate menu item ("29.97 DF").
QString frameRateMenuTitle(TimecodeFrameRate rate);

/// The timecode editor's choices before Apply, apart from its widgets: the device list, the staged
/// device, channel and frame rate, and the rules that tie them together.
/// Main thread only.
class TimecodeStaging {
public:
    const std::vector<AudioDeviceChoice>& devices() const { return m_devices; }
    bool isLoading() const { return m_isLoading; }
    const QString& stagedDeviceIDString() const { return m_stagedDeviceIDString; }
    std::int64_t stagedChannelIndex() const { return m_stagedChannelIndex; }
    TimecodeFrameRate stagedFrameRate() const { return m_stagedFrameRate; }
    bool forbidInternalDevices() const { return m_forbidInternalDevices; }
    bool hasAppeared() const { return m_hasAppeared; }

    /// First appearance: copies the stored choices in. Returns false when it already ran.
    bool appear(const TimecodeSettings& stored);

    /// Whether a listing should start now; a forced one starts even while another is running.
    bool beginLoading(bool force);
    /// A finished listing: sorts and takes the devices; a staged device that is not listed gives
    /// way to the first one, with channel 0.
    void finishLoading(std::vector<AudioDeviceChoice> choices);

    /// Chooses a device from the menu; the staged channel is pulled into its channel count.
    void setStagedDevice(const QString& deviceIDString);
    void setStagedChannelIndex(std::int64_t index) { m_stagedChannelIndex = index; }
    void setStagedFrameRate(TimecodeFrameRate rate) { m_stagedFrameRate = rate; }

    /// The listed entry of the staged device, or null.
    const AudioDeviceChoice* stagedDevice() const;
    /// Channels of the staged device; 0 when it is not listed.
    std::uint32_t stagedChannelCount() const;
    bool isStagedDeviceInternal() const;
    /// The staged device is listed and the staged channel is one of its channels.
    bool canApply() const;
    /// What Apply writes over `stored`, or none when Apply must do nothing (cannot apply, or a
    /// built-in device while those are refused).
    std::optional<TimecodeSettings> settingsToApply(const TimecodeSettings& stored) const;

private:
    void clampChannel();

    std::vector<AudioDeviceChoice> m_devices;
    bool m_isLoading = false;
    QString m_stagedDeviceIDString;
    std::int64_t m_stagedChannelIndex = 0;
    TimecodeFrameRate m_stagedFrameRate = TimecodeFrameRate::fps25;
    bool m_forbidInternalDevices = true;
    bool m_hasAppeared = false;
};

} // namespace tavix
