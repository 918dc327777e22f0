#include "audiohal.h"

namespace tavix {

std::unique_ptr<AudioHal> makeSystemAudioHal() { return nullptr; }

} // namespace tavix
