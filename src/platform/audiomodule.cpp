#include "audiomodule.h"

#include "deferredaudiobackend.h"

#include <cstdio>
#include <dlfcn.h>
#include <filesystem>
#include <system_error>

namespace tavix {

namespace {

// What a machine without a sound server sees: no sources, no capture, no news of changes.
class UnavailableAudioBackend final : public AudioBackend {
public:
    // PulseAudio's "connection refused", as the real backend reports a server that is not there.
    static constexpr AudioStatus kNoServer = -6;

    InputAccess inputAccess() override { return InputAccess::granted; }
    AudioStatus connect() override { return kNoServer; }
    AudioStatus listSources(std::vector<SourceInfo>& sources) override {
        sources.clear();
        return kNoServer;
    }
    AudioStatus setSourceBlockFrames(InputDeviceId, std::uint32_t) override { return kNoServer; }
    bool canCapture() override { return false; }
    AudioStatus newCaptureStream(std::unique_ptr<CaptureStream>&) override { return kAudioBadParameter; }
    // Every call above answers at once, so the work needs no thread of its own; its results reach
    // their owners through their inboxes, as from a worker.
    void post(std::function<void()> work) override { work(); }
    ChangeSubscription subscribeToChanges(std::function<void()>) override { return {}; }
    bool reportsChanges() override { return false; }

protected:
    void unsubscribe(std::uint64_t) override {}
};

using Maker = AudioBackend* (*)();

#define TAVIX_TEXT(name) #name
#define TAVIX_NAME_TEXT(name) TAVIX_TEXT(name)

} // namespace

std::unique_ptr<AudioBackend> loadAudioModule(const std::string& path) {
    // Kept open once it made the backend: the backend's code must stay while the process runs.
    void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr) {
        if (auto make = reinterpret_cast<Maker>(::dlsym(module, TAVIX_NAME_TEXT(TAVIX_AUDIO_MODULE_ENTRY)))) {
            return std::unique_ptr<AudioBackend>(make());
        }
    }
    // Not a diagnostic of the show: a broken installation, told once, where a terminal shows it.
    const char* why = ::dlerror(); // NOLINT(concurrency-mt-unsafe): glibc keeps its state per thread
    std::fprintf(stderr, "tavix: no audio input, the audio module could not be loaded: %s\n",
                 why != nullptr ? why : path.c_str());
    if (module != nullptr) {
        ::dlclose(module); // another version's: nothing of it is used
    }
    return std::make_unique<UnavailableAudioBackend>();
}

std::string audioModulePath() {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::read_symlink("/proc/self/exe", error).parent_path();
    const fs::path besideExecutable = folder / TAVIX_AUDIO_MODULE;
    if (fs::exists(besideExecutable, error)) {
        return besideExecutable.string();
    }
    return (folder / TAVIX_AUDIO_MODULE_FROM_BINDIR / TAVIX_AUDIO_MODULE).lexically_normal().string();
}

std::unique_ptr<AudioBackend> makeSystemAudioBackend() {
    return std::make_unique<DeferredAudioBackend>([] { return loadAudioModule(audioModulePath()); });
}

} // namespace tavix
