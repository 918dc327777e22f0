#pragma once

#include "model/clockmodel.h"
#include "timecoderuntime.h"

#include <QObject>

#include <memory>
#include <optional>

namespace tavix {

class AppState;
class AudioBackend;
class TimecodeInputManager;

/// Per-window owner of a clock's TimecodeRuntime and of the TimecodeInputManager that feeds it.
/// The timecode clock view drives it through the three lifecycle rules.
/// Main thread only.
class TimecodeRuntimeHolder : public QObject {
    Q_OBJECT

public:
    /// `audio` may be null (no audio layer): the manager then never captures.
    explicit TimecodeRuntimeHolder(AudioBackend* audio, QObject* parent = nullptr);
    ~TimecodeRuntimeHolder() override;

    TimecodeRuntime* runtime() const { return m_runtime; }
    /// Absent until the timecode view first appears; then kept for the holder's life.
    TimecodeInputManager* manager() const { return m_manager.get(); }

    /// The timecode view came on screen for the clock `clockID` of `state`.
    void appear(AppState& state, const QUuid& clockID);
    /// The clock's timecode settings changed while the view is shown (none counts as the default).
    void settingsChanged(const std::optional<TimecodeSettings>& settings);
    /// The timecode view left the screen.
    void disappear();

    /// Timecode settings used when a clock has none.
    static TimecodeSettings defaultSettings() {
        return TimecodeSettings{TimecodeFrameRate::fps30, std::nullopt, 0};
    }

Q_SIGNALS:
    void managerChanged();

private:
    void createManager(const TimecodeSettings& settings);

    AudioBackend* m_audio;
    TimecodeRuntime* m_runtime;
    std::unique_ptr<TimecodeInputManager> m_manager;
};

} // namespace tavix
