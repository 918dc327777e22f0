#include "platform/pulseaudiobackend.h"

#include "testsupport.h"
#include "timecode/audioinputdevicemanager.h"
#include "timecode/timecodeinputmanager.h"
#include "timecode/timecoderuntime.h"

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

TEST(PulseAudioBackend, WithoutARunningServerNothingIsListedOrCapturedAndNothingCrashes) {
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/tavix-test/native");
    {
        PulseAudioBackend audio;
        EXPECT_EQ(audio.inputAccess(), InputAccess::granted);
        std::vector<AudioInputDeviceInfo> devices;
        EXPECT_EQ(test::capturedStdoutLines([&] { devices = listInputDevices(audio); }),
                  QStringList{u"⚠️ listInputDevices: couldn't get device list size (-6)"_s});
        EXPECT_TRUE(devices.empty());

        TimecodeRuntime runtime;
        TimecodeInputManager manager(&audio, &runtime, {TimecodeFrameRate::fps25, u"1241085600"_s, 0});
        test::capturedStdoutLines([&] { test::startSettled(manager); });
        EXPECT_FALSE(manager.isCapturing());

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
