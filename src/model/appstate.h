#pragma once

#include "clockmodel.h"
#include "statefile.h"

#include <QHash>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace tavix {

/// The one owner of the clocks and the defaults while the process runs. Loads them at construction,
/// tells observers about every assignment, and saves: at once after its own operations, and 250 ms
/// after the last of a burst of other changes. A change that only moves a running countdown or
/// stopwatch on is not saved by itself (the time that passes can always be worked out again): while
/// a timer runs the state is saved every 10 s.
/// Main thread only.
class AppState : public QObject {
    Q_OBJECT

public:
    /// Runs start-up: load the saved state (or defaults), make sure one clock exists, start autosave.
    explicit AppState(std::shared_ptr<StateFile> stateFile, QObject* parent = nullptr);
    ~AppState() override;

    const QList<ClockModel>& clocks() const { return m_clocks; }
    void setClocks(QList<ClockModel> clocks);
    /// Replaces the record at `index` (ignored when out of range) as one change of `clocks`.
    void setClock(qsizetype index, const ClockModel& clock);
    /// The clock with this id (the first one), or null. Constant time.
    const ClockModel* clock(const QUuid& id) const;

    const AppSettings& settings() const { return m_settings; }
    void setSettings(const AppSettings& settings);

    bool isQuittingApp() const { return m_isQuittingApp; }
    void setIsQuittingApp(bool quitting);

    QString nextDefaultClockName() const;
    QUuid addClock();
    void removeClock(const QUuid& id);
    /// Constant time: the store keeps an index by id.
    std::optional<qsizetype> indexOfClock(const QUuid& id) const;
    void renameClock(const QUuid& id, const QString& newName);
    void save();

    StateFile& stateFile() { return *m_stateFile; }

    static constexpr int kAutosaveDelayMs = 250;
    /// A steady stream of changes (several running countdowns ticking at different phases) would
    /// postpone the debounced save for ever; no change waits longer than this to reach the disk.
    static constexpr int kAutosaveMaximumDelayMs = 750;
    /// While a countdown or stopwatch runs, its progress reaches the disk at least this often.
    static constexpr int kRunningTimersSaveIntervalMs = 10000;

    /// Shortens the periodic save of running timers (tests).
    void setRunningTimersSaveIntervalMs(int intervalMs) { m_runningTimersSave->setInterval(intervalMs); }

    /// True when `after` differs from `before` only in how far a running countdown or stopwatch
    /// has run (its value and the instant it was measured).
    static bool isTimerProgressOnly(const ClockModel& before, const ClockModel& after);

Q_SIGNALS:
    /// Every change of `clocks`, whatever it was.
    void clocksChanged();
    /// setClock replaced the record of this clock (its id before the change). Emitted before
    /// clocksChanged; views of one clock listen to this instead, so a change costs them nothing
    /// when it is another clock's.
    void clockChanged(const QUuid& id);
    /// The list itself changed (clocks added, removed, reordered or replaced).
    void clockListChanged();
    /// save() is about to encode the state: last chance to bring running timers up to date.
    void aboutToSave();
    void settingsChanged();
    void isQuittingAppChanged();
    /// Emitted after each save() has queued its write.
    void saved();

private:
    void startAutosave();
    void rebuildIndex();
    void changed(bool progressOnly);
    void updateRunningTimersSave();

    std::shared_ptr<StateFile> m_stateFile;
    QList<ClockModel> m_clocks;
    QHash<QUuid, qsizetype> m_index;
    qsizetype m_runningTimers = 0;
    QTimer* m_runningTimersSave = nullptr;
    AppSettings m_settings;
    bool m_isQuittingApp = false;
    QTimer* m_autosave = nullptr;
    QTimer* m_autosaveDeadline = nullptr;
};

/// Names compare as Unicode text: canonically equivalent sequences are equal.
bool clockNamesEqual(const QString& a, const QString& b);

/// `text` without leading and trailing Unicode white space and line breaks.
QString trimmedClockName(const QString& text);

} // namespace tavix
