#include "platform/pulseaudiobackend.h"

#include "testsupport.h"
#include "timecode/audioinputdevicemanager.h"

#include <gtest/gtest.h>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(PulseAudioBackend, DeviceIDsAreThePosixCksumOfTheSourceName) {
    // Values printed by `printf %s NAME | cksum`, so that a person can work an id out by hand.
    const std::vector<std::pair<QByteArray, InputDeviceId>> cases = {
        {"", 4294967295u},
        {"a", 1220704766u},
        {"ltcout.monitor", 1241085600u},
        {"alsa_input.usb-Focusrite_Scarlett_2i2_USB-00.analog-stereo", 4275960432u},
        {u"bluez_input.Mikrofon-Ü"_s.toUtf8(), 4257071769u},
        {QByteArray(300, 'x'), 3786917833u},
    };
    for (const auto& [name, id] : cases) {
        EXPECT_EQ(PulseAudioBackend::deviceIdForSourceName(name), id) << name.constData();
    }
}

TEST(PulseAudioBackend, WithoutARunningServerACaptureFailsAtTheDeviceAndNothingCrashes) {
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/tavix-test/native");
    {
        // Listing and retrying without a server are the sound-server drill's part.
        PulseAudioBackend audio;
        EXPECT_EQ(audio.inputAccess(), InputAccess::granted);
        // A capture asked for directly fails at the device, as a vanished device would.
        AudioInputDeviceManager capture(audio);
        const QStringList lines =
            test::capturedStdoutLines([&] { capture.startCapture(1241085600, nullptr, {}); });
        EXPECT_EQ(lines, QStringList{u"❌ set current device failed -6"_s});
    }
    if (saved.isNull()) {
        qunsetenv("PULSE_SERVER");
    } else {
        qputenv("PULSE_SERVER", saved);
    }
}
