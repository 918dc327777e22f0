#include "audiohal.h"

#include "pulseaudiohal.h"

namespace tavix {

std::unique_ptr<AudioHal> makeSystemAudioHal() {
    return std::make_unique<PulseAudioHal>();
}

} // namespace tavix
