#pragma once

#include "audioinputdevicemanager.h"
#include "ltcdecoderwrapper.h"
#include "model/clockmodel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace tavix {

class AudioBackend;
class MainThreadInbox;
class CaptureQueue;
class TimecodeRuntime;
struct TimecodeBlockResult;

/// Connects one timecode clock's settings to its runtime: resolves the device, refuses
/// microphones, captures, and for every block meters the channel, decodes it and publishes level
/// and time on the main thread. While started it watches the capture and, if the device or the
/// sound server goes away, tries again every 2 s until the same device is back. A device that the
/// settings name but that is not listed at start (not plugged in yet, no sound server yet) is
/// looked for in the same way. The server's own news of changes (a source added, the server back)
/// brings it back at once; the 2 s retry is the fallback while there is no connection. Devices are listed on
/// the backend's worker, never on the main thread, so a sound server that hangs cannot stop the clocks. Main
/// thread only; the block work runs on the manager's one capture queue.
/// Timecode counts as lost when no checked frame has arrived for 10 frame periods of the audio
/// clock, or, when blocks stop coming at all, of the wall clock.
class TimecodeInputManager : public QObject {
    Q_OBJECT

public:
    static constexpr int kRetryIntervalMs = 2000;
    /// A running capture that delivers nothing for this long is reported once.
    static constexpr int kStallMs = 2000;
    /// Beyond 10 frame periods, how long the main thread waits for blocks that stopped coming before
    /// it calls timecode lost (blocks come about every 21 ms).
    static constexpr int kArrivalSlackMs = 150;

    /// `audio` may be null: the manager then never captures.
    TimecodeInputManager(AudioBackend* audio, TimecodeRuntime* runtime, TimecodeSettings settings,
                         QObject* parent = nullptr);
    /// Releases the capture (which stops it) and the decoder; leaves the runtime as it is.
    ~TimecodeInputManager() override;

    const TimecodeSettings& settings() const { return m_settings; }
    /// Used by the next start().
    void setSettings(const TimecodeSettings& settings) { m_settings = settings; }

    /// Stops, then lists the devices off the main thread and, when that is done, captures when the
    /// settings name a usable device; otherwise leaves level 0 and, when the named device is not
    /// listed, looks for it every 2 s until stop().
    void start();
    /// Ends the capture, if any, and sets the level to 0. The decoder and its last time survive.
    void stop();

    TimecodeRuntime* runtime() const { return m_runtime; }
    /// The capture of the last start(); null when stopped or when the settings named no usable device.
    AudioInputDeviceManager* inputManager() const { return m_inputManager.get(); }
    bool isCapturing() const { return m_inputManager && m_inputManager->isCapturing(); }
    /// True while the named device is looked for: after a capture was lost, or after a start()
    /// that did not find it listed.
    bool isRetrying() const { return m_supervision == Supervision::retrying; }
    /// A device listing of this manager is running.
    bool isListing() const { return m_listing; }
    /// The capture runs but has delivered nothing for kStallMs, twice that before its first block
    /// (a sound server that hangs).
    bool isStalled() const { return m_supervision == Supervision::watching && m_reportedStall; }
    /// How often a capture is checked and, once lost, tried again (tests shorten it).
    void setRetryIntervalMs(int intervalMs);

    /// Waits until every block handed over so far has been handled, then runs its posts now.
    void waitForPendingBlocks();
    /// The decoder's last time, read on the block queue.
    std::optional<DecodedTimecode> lastDecoded() const;

    /// An unsigned 32-bit decimal: optional "+" ("-" only before all-zero digits), then ASCII
    /// digits and nothing else.
    static std::optional<std::uint32_t> parseDeviceID(const QString& text);
    /// The listed device that the settings name, unless judgeMicrophone() takes it for a microphone.
    static std::optional<AudioInputDeviceInfo>
    resolveDevice(const TimecodeSettings& settings, const std::vector<AudioInputDeviceInfo>& devices);

private:
    struct HandlerState;
    enum class Supervision { off, starting, watching, retrying };

    /// resolveDevice(), saying once per device when only the name could tell what it is.
    std::optional<AudioInputDeviceInfo> usableDevice(const std::vector<AudioInputDeviceInfo>& devices);
    void requestListing(bool printing);
    void onListed(std::uint64_t generation, const std::vector<AudioInputDeviceInfo>& devices);
    void takeListing(const std::vector<AudioInputDeviceInfo>& devices);
    void beginCapture(InputDeviceId deviceID);
    void watchForStall();
    void onServerChange();
    void checkCapture(bool serverChanged);
    void releaseCapture(bool announce);
    void applyBlock(std::uint64_t generation, const TimecodeBlockResult& result);
    void checkArrival();
    void timecodeLost();
    /// Ten frame periods of the arriving or, while none is measured, the chosen rate, plus the slack.
    int arrivalTimeoutMs() const;
    void superviseCapture();

    AudioBackend* m_audio;
    QPointer<TimecodeRuntime> m_runtime;
    TimecodeSettings m_settings;
    std::unique_ptr<AudioInputDeviceManager> m_inputManager;
    // One queue for the manager's life, so that blocks of an old capture never overlap blocks of
    // the next one on the decoder.
    std::shared_ptr<CaptureQueue> m_queue;
    std::shared_ptr<HandlerState> m_handlerState;
    MainThreadInbox* m_inbox;
    QTimer* m_supervisionTimer;
    Supervision m_supervision = Supervision::off;
    std::optional<InputDeviceId> m_judgedByName;
    ChangeSubscription m_changes;
    // Set while a change is on its way to the main thread, so that a burst posts one task.
    std::shared_ptr<std::atomic<bool>> m_changePending = std::make_shared<std::atomic<bool>>(false);
    bool m_listing = false;
    bool m_lastListingEmpty = false;
    bool m_listAgain = false;
    bool m_listAgainPrinting = false;
    std::uint64_t m_listingGeneration = 0;
    std::uint64_t m_lastDelivered = 0;
    QElapsedTimer m_lastProgress;
    bool m_reportedStall = false;
    // Level posts of a capture that is no longer the current one are dropped.
    std::uint64_t m_captureGeneration = 0;
    // Runs while timecode arrives, and calls it lost when blocks stop coming (capture gone).
    QTimer* m_arrivalWatchdog;
    QElapsedTimer m_sinceArrival;
    // Frames shown by the last applied block; and, after the watchdog called the timecode lost, how
    // many had been shown then: blocks that come late bring no news until a frame is new.
    std::uint64_t m_shownFrames = 0;
    std::optional<std::uint64_t> m_lostAtShownFrames;
    // The rate last told on standard output, so that a return after a loss does not repeat it.
    std::optional<TimecodeFrameRate> m_announcedRate;
};

} // namespace tavix
