// The entry of the audio module: the executable loads this file's library when it first needs audio.
#include "audiomodule.h"
#include "pulseaudiobackend.h"

extern "C" __attribute__((visibility("default"))) tavix::AudioBackend* tavix_make_audio_backend() {
    return new tavix::PulseAudioBackend();
}
