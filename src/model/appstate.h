#pragma once

#include "clockmodel.h"
#include "statefile.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>

namespace tavix {

/// The one owner of the clocks and the defaults while the process runs. Loads them at construction,
/// tells observers about every assignment, and saves: at once after its own operations, and 250 ms
/// after the last of a burst of other changes.
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

    const AppSettings& settings() const { return m_settings; }
    void setSettings(const AppSettings& settings);

    bool isQuittingApp() const { return m_isQuittingApp; }
    void setIsQuittingApp(bool quitting);

    QString nextDefaultClockName() const;
    QUuid addClock();
    void removeClock(const QUuid& id);
    std::optional<qsizetype> indexOfClock(const QUuid& id) const;
    void renameClock(const QUuid& id, const QString& newName);
    void save();

    StateFile& stateFile() { return *m_stateFile; }

    static constexpr int kAutosaveDelayMs = 250;
    /// A steady stream of changes (several running countdowns ticking at different phases) would
    /// postpone the debounced save for ever; no change waits longer than this to reach the disk.
    static constexpr int kAutosaveMaximumDelayMs = 750;

Q_SIGNALS:
    void clocksChanged();
    void settingsChanged();
    void isQuittingAppChanged();
    /// Emitted after each save() has queued its write.
    void saved();

private:
    void startAutosave();

    std::shared_ptr<StateFile> m_stateFile;
    QList<ClockModel> m_clocks;
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
