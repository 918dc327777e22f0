#include "platform/audiomodule.h"
#include "platform/deferredaudiobackend.h"
#include "platform/pulseaudiobackend.h"

#include "testsupport.h"
#include "timecode/audioinputdevicemanager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace tavix;
using namespace Qt::StringLiterals;

TEST(PulseAudioBackend, DeviceIDsAreThePosixCksumOfTheSourceName) {
    // Values printed by `printf %s NAME | cksum`, so that a person can work an id out by hand.
    const std::pair<QByteArray, InputDeviceId> cases[] = {
        {"", 4294967295u},
        {"a", 1220704766u},
        {"ltcout.monitor", 1241085600u},
        {"alsa_input.usb-Focusrite_Scarlett_2i2_USB-00.analog-stereo", 4275960432u},
        {u"bluez_input.Mikrofon-Ü"_s.toUtf8(), 4257071769u},
        {QByteArray(300, 'x'), 3786917833u}};
    for (const auto& [name, id] : cases) {
        EXPECT_EQ(PulseAudioBackend::deviceIdForSourceName(name), id) << name.constData();
    }
}

TEST(PulseAudioBackend, WithoutARunningServerACaptureFailsAtTheDeviceAndNothingCrashes) {
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/tavix-test/native");
    const auto captureFailure = [](AudioBackend& audio) {
        EXPECT_EQ(audio.inputAccess(), InputAccess::granted);
        // A capture asked for directly fails at the device, as a vanished device would.
        AudioInputDeviceManager capture(audio);
        return test::capturedStdoutLines([&] { capture.startCapture(1241085600, nullptr, {}); });
    };
    const QStringList expected{u"❌ set current device failed -6"_s};
    // Listing and retrying without a server are the sound-server drill's part.
    PulseAudioBackend pulse;
    EXPECT_EQ(captureFailure(pulse), expected);
    {
        // The application's backend: the module, made by the first of several threads to ask.
        std::atomic<int> made{0};
        DeferredAudioBackend audio([&made] {
            ++made;
            return loadAudioModule(TAVIX_AUDIO_MODULE_FILE);
        });
        EXPECT_FALSE(audio.isMade());
        std::vector<std::thread> askers;
        for (int i = 0; i < 4; ++i) {
            askers.emplace_back([&audio] { EXPECT_TRUE(audio.canCapture()); });
        }
        for (std::thread& asker : askers) {
            asker.join();
        }
        EXPECT_EQ(made.load(), 1);
        EXPECT_EQ(captureFailure(audio), expected);
    }
    // A module that is not there, or one without this version's maker (a package upgraded under a
    // running Tavix), leaves a machine without a server, not a crash.
    for (const char* path : {"/nonexistent/tavix-pulse.so", "libm.so.6"}) {
        SCOPED_TRACE(path);
        std::unique_ptr<AudioBackend> audio = loadAudioModule(path);
        bool ran = false;
        audio->post([&ran] { ran = true; });
        EXPECT_EQ(
            std::tuple(audio->canCapture(), audio->connect(), ran, bool(audio->subscribeToChanges([] {}))),
            std::tuple(false, -6, true, false));
    }
    saved.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", saved);
}
