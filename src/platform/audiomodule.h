#pragma once

#include "audiobackend.h"

#include <memory>
#include <string>

namespace tavix {

/// The sound server's client side lives in a module of its own (TAVIX_AUDIO_MODULE), loaded the
/// first time audio is needed: the executable then does not map the client library and the codec
/// libraries it pulls in. The module exports its maker under a name that carries the version
/// (TAVIX_AUDIO_MODULE_ENTRY), so that a running Tavix never takes the module of a newer package
/// installed under it: it finds no maker there and goes on without audio instead of crashing.

/// Loads the module at `path` and makes its backend. When the module cannot be loaded, says why on
/// standard error and returns a backend without a server: every call fails as it would on a
/// machine without a sound server, and nothing crashes.
std::unique_ptr<AudioBackend> loadAudioModule(const std::string& path);

/// Where the module is: next to the executable in a build folder, else in the library folder of
/// the installation the executable belongs to.
std::string audioModulePath();

} // namespace tavix
