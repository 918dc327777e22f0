// The entry of the audio module: the executable loads this file's library when it first needs audio.
#include "pulseaudiobackend.h"

extern "C" __attribute__((visibility("default"))) tavix::AudioBackend* TAVIX_AUDIO_MODULE_ENTRY() {
    return new tavix::PulseAudioBackend();
}
