#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tavix {

/// 0 for success; a failed operation returns a non-zero code (the PulseAudio backend returns the
/// negated PulseAudio error number, so a server that is not running reads as -6).
using AudioStatus = std::int32_t;
/// A source's id as clock settings store it; stable across server restarts and re-plugging.
using InputDeviceId = std::uint32_t;

inline constexpr AudioStatus kAudioNoError = 0;
/// A call whose arguments make no sense (a short buffer, an unsupported format, the wrong state).
inline constexpr AudioStatus kAudioBadParameter = -50;
/// The server did not answer in time (PulseAudio's own number for it).
inline constexpr AudioStatus kAudioTimedOut = -8;

enum class InputAccess { granted, refused };

enum class SampleFormat { float32, int16 };

/// What a stream carries: interleaved samples of one format, at one rate, with some channels.
struct SampleSpec {
    SampleFormat format = SampleFormat::float32;
    double rate = 0;
    std::uint32_t channels = 0;

    std::uint32_t bytesPerSample() const { return format == SampleFormat::float32 ? 4 : 2; }
    bool operator==(const SampleSpec&) const = default;
};

/// The kind of the port a source records from, as far as the server tells it.
enum class PortType { unknown, microphone, headset, line, other };

/// What the server says about where a source's sound comes from.
struct SourceTraits {
    /// The source records what an output plays.
    bool isMonitor = false;
    /// The active port's name ("analog-input-linein"); empty when the source has no ports.
    QString portName;
    PortType portType = PortType::unknown;
    /// The device's form factor property ("microphone", "webcam", "internal"); empty when unset.
    QString formFactor;

    bool operator==(const SourceTraits&) const = default;
};

/// One source of the server, from a listing.
struct SourceInfo {
    InputDeviceId id = 0;
    /// Absent when the server gives the source no description.
    std::optional<QString> description;
    std::uint32_t channels = 0;
    SourceTraits traits;
};

/// Where a captured block sits in its stream.
struct CaptureTimestamp {
    std::uint64_t framePosition = 0; ///< frames this stream delivered before the block
    std::uint64_t steadyNs = 0;      ///< steady clock, nanoseconds, when the block was handed over
};

/// Called once per captured block on the backend's real-time audio thread; fetch the samples with
/// CaptureStream::read on the same thread before returning. Must not block or allocate.
using CaptureCallback = void (*)(void* userData, std::uint32_t frameCount, const CaptureTimestamp& time);

/// One record stream from one source, set up step by step, then connected and started. Destroying
/// it disconnects it; after stop() or destruction returns, its callback is not running and will
/// not run again.
/// Thread rule: set up, started, stopped and destroyed by one thread at a time; read() only from
/// inside the callback; isRunning() from the thread that owns the stream.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    virtual AudioStatus enableRecording(bool enable) = 0;
    /// Record streams never play; only `false` succeeds.
    virtual AudioStatus enablePlayback(bool enable) = 0;
    virtual AudioStatus setSource(InputDeviceId source) = 0;
    /// The source's own format, as a client receives it unconverted.
    virtual AudioStatus sourceSpec(SampleSpec& spec) = 0;
    /// The format in which read() delivers samples.
    virtual AudioStatus setClientSpec(const SampleSpec& spec) = 0;
    /// Blocks handed to the callback never exceed this many frames.
    virtual AudioStatus setMaximumBlockFrames(std::uint32_t frames) = 0;
    virtual AudioStatus setCallback(CaptureCallback callback, void* userData) = 0;
    /// Asks the server for the stream. Does not wait for it: a stream that the server refuses later
    /// shows as not running.
    virtual AudioStatus connect() = 0;
    virtual AudioStatus start() = 0;
    /// Copies the block being delivered, `frameCount` frames in the client format, to `destination`
    /// (room for `capacitySamples` samples). Callback only.
    virtual AudioStatus read(std::uint32_t frameCount, float* destination, std::size_t capacitySamples) = 0;
    virtual AudioStatus stop() = 0;
    virtual AudioStatus disconnect() = 0;
    /// Started, and still delivering: false once its source or the server has gone away.
    virtual bool isRunning() = 0;
};

class AudioBackend;

/// Keeps a change callback registered; unregisters it on destruction, after which the callback is
/// not running and will not run again. Move-only.
class ChangeSubscription {
public:
    ChangeSubscription() = default;
    ChangeSubscription(AudioBackend* backend, std::uint64_t id) : m_backend(backend), m_id(id) {}
    ~ChangeSubscription() { reset(); }
    ChangeSubscription(ChangeSubscription&& other) noexcept;
    ChangeSubscription& operator=(ChangeSubscription&& other) noexcept;
    ChangeSubscription(const ChangeSubscription&) = delete;
    ChangeSubscription& operator=(const ChangeSubscription&) = delete;

    void reset();
    explicit operator bool() const { return m_backend != nullptr; }

private:
    AudioBackend* m_backend = nullptr;
    std::uint64_t m_id = 0;
};

/// The audio input side of the sound system: access, the list of sources and capture streams,
/// and news of changes.
/// Implemented on PulseAudio for the app; tests script their own.
/// Thread rule: thread safe; the calls that talk to the server block their caller, at most for the
/// backend's timeout, so the main thread makes them through post().
class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    /// Never asks the user; refused when the server (or a sandbox portal) turns the client away.
    virtual InputAccess inputAccess() = 0;
    /// Makes sure the connection to the server is up, connecting when needed.
    virtual AudioStatus connect() = 0;
    /// Every source of the server, in its order, in one round trip.
    virtual AudioStatus listSources(std::vector<SourceInfo>& sources) = 0;
    /// Asks for blocks of `frames` in the next capture of `source`. Advisory.
    virtual AudioStatus setSourceBlockFrames(InputDeviceId source, std::uint32_t frames) = 0;

    /// False when this backend cannot capture at all (no event loop for its streams).
    virtual bool canCapture() = 0;
    /// May succeed without a stream when the backend has none to give.
    virtual AudioStatus newCaptureStream(std::unique_ptr<CaptureStream>& stream) = 0;

    /// Runs `work` on the backend's own worker thread, after the work posted before it: for the
    /// calls above that wait for the server, so that the main thread never does. Work not started
    /// when the backend goes is dropped; work running then is waited for.
    virtual void post(std::function<void()> work) = 0;

    /// Calls `onChange` on a thread of the backend whenever the server adds, changes or removes a
    /// source, changes itself, the connection comes or goes, or a capture stream ends; while
    /// someone listens, a lost connection is made again by itself. `onChange` must return quickly
    /// and must not call the backend.
    virtual ChangeSubscription subscribeToChanges(std::function<void()> onChange) = 0;
    /// True while changes are reported as they happen (connected and subscribed); otherwise only
    /// asking again finds them.
    virtual bool reportsChanges() = 0;

protected:
    friend class ChangeSubscription;
    virtual void unsubscribe(std::uint64_t id) = 0;
};

/// The audio backend of this machine (PulseAudio, which also serves PipeWire desktops), made when
/// first used.
std::unique_ptr<AudioBackend> makeSystemAudioBackend();

} // namespace tavix
