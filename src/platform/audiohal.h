#pragma once

#include <memory>

namespace tavix {

/// The audio input layer: the access check, the device list and the capture unit operations that
/// the timecode input is built on. Implemented on PulseAudio for the app and scripted for tests.
class AudioHal {
public:
    virtual ~AudioHal() = default;
};

/// The audio layer of this machine (PulseAudio, which also serves PipeWire desktops).
std::unique_ptr<AudioHal> makeSystemAudioHal();

} // namespace tavix
