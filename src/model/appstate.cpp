#include "appstate.h"

#include "xmltext.h"

#include <QPointer>
#include <QSet>

namespace tavix {

bool clockNamesEqual(const QString& a, const QString& b) {
    return a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

QString trimmedClockName(const QString& text) {
    // QChar::isSpace covers the Unicode separators (Zs, Zl, Zp) plus tab, the line breaks and NEL.
    return text.trimmed();
}

namespace {

// The countdown or stopwatch that the clock's mode shows is running: only that one counts.
bool hasCountingTimer(const ClockModel& clock) {
    switch (clock.mode) {
    case ClockMode::countdown:
        return clock.countdown && clock.countdown->isRunning;
    case ClockMode::stopwatch:
        return clock.stopwatch && clock.stopwatch->isRunning;
    default:
        return false;
    }
}

} // namespace

bool AppState::isTimerProgressOnly(const ClockModel& before, const ClockModel& after) {
    const bool countdownRuns =
        before.countdown && after.countdown && before.countdown->isRunning && after.countdown->isRunning;
    const bool stopwatchRuns =
        before.stopwatch && after.stopwatch && before.stopwatch->isRunning && after.stopwatch->isRunning;
    if (!countdownRuns && !stopwatchRuns) {
        return false;
    }
    ClockModel same = after;
    if (countdownRuns) {
        same.countdown->remaining = before.countdown->remaining;
        same.countdown->measuredAt = before.countdown->measuredAt;
    }
    if (stopwatchRuns) {
        same.stopwatch->elapsed = before.stopwatch->elapsed;
        same.stopwatch->measuredAt = before.stopwatch->measuredAt;
    }
    return same == before && !(after == before);
}

AppState::AppState(std::shared_ptr<StateFile> stateFile, QObject* parent)
    : QObject(parent), m_stateFile(std::move(stateFile)) {
    if (auto saved = m_stateFile->loadSavedState()) {
        m_clocks = std::move(saved->clocks);
        m_settings = saved->settings;
    }
    rebuildIndex();
    if (m_clocks.isEmpty()) {
        addClock();
    }
    startAutosave();
}

AppState::~AppState() = default;

void AppState::rebuildIndex() {
    m_index.clear();
    m_index.reserve(m_clocks.size());
    m_runningTimers = 0;
    for (qsizetype i = 0; i < m_clocks.size(); ++i) {
        m_index.insert(m_clocks[i].id, i); // replaced below by an earlier clock with the same id
        m_runningTimers += hasCountingTimer(m_clocks[i]) ? 1 : 0;
    }
    // Ids in a file need not be unique: the first clock with an id is the one found.
    for (qsizetype i = m_clocks.size() - 1; i >= 0; --i) {
        m_index[m_clocks[i].id] = i;
    }
}

void AppState::setClocks(QList<ClockModel> clocks) {
    m_clocks = std::move(clocks);
    rebuildIndex();
    updateRunningTimersSave();
    Q_EMIT clockListChanged();
    changed(false);
    Q_EMIT clocksChanged();
}

void AppState::setClock(qsizetype index, const ClockModel& clock) {
    if (index < 0 || index >= m_clocks.size()) {
        return;
    }
    ClockModel& slot = m_clocks[index];
    const QUuid id = slot.id;
    const bool progressOnly = isTimerProgressOnly(slot, clock);
    m_runningTimers += (hasCountingTimer(clock) ? 1 : 0) - (hasCountingTimer(slot) ? 1 : 0);
    slot = clock;
    if (clock.id != id) {
        rebuildIndex();
    }
    updateRunningTimersSave();
    Q_EMIT clockChanged(id);
    if (clock.id != id) {
        Q_EMIT clockListChanged();
    }
    changed(progressOnly);
    Q_EMIT clocksChanged();
}

const ClockModel* AppState::clock(const QUuid& id) const {
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() ? nullptr : &m_clocks.at(*it);
}

void AppState::setSettings(const AppSettings& settings) {
    m_settings = settings;
    Q_EMIT settingsChanged();
}

void AppState::setIsQuittingApp(bool quitting) {
    m_isQuittingApp = quitting;
    Q_EMIT isQuittingAppChanged();
}

QString AppState::nextDefaultClockName() const {
    QSet<QString> taken;
    for (const ClockModel& clock : m_clocks) {
        taken.insert(clock.name.normalized(QString::NormalizationForm_C));
    }
    for (qint64 n = 1;; ++n) {
        const QString candidate = QStringLiteral("Clock %1").arg(n);
        if (!taken.contains(candidate)) {
            return candidate;
        }
    }
}

QUuid AppState::addClock() {
    const QUuid id = QUuid::createUuid();
    QList<ClockModel> clocks = m_clocks;
    clocks.append(ClockModel::makeNew(id, nextDefaultClockName(), m_settings));
    setClocks(std::move(clocks));
    save();
    return id;
}

void AppState::removeClock(const QUuid& id) {
    QList<ClockModel> clocks = m_clocks;
    clocks.removeIf([&id](const ClockModel& clock) { return clock.id == id; });
    setClocks(std::move(clocks));
    save();
}

std::optional<qsizetype> AppState::indexOfClock(const QUuid& id) const {
    const auto it = m_index.constFind(id);
    if (it == m_index.constEnd()) {
        return std::nullopt;
    }
    return *it;
}

void AppState::renameClock(const QUuid& id, const QString& newName) {
    const auto index = indexOfClock(id);
    if (!index) {
        return;
    }
    const QString name = trimmedClockName(withoutXmlForbiddenCharacters(newName));
    if (name.isEmpty()) {
        return;
    }
    for (const ClockModel& other : m_clocks) {
        if (other.id != id && clockNamesEqual(other.name, name)) {
            return;
        }
    }
    ClockModel clock = m_clocks[*index];
    clock.name = name;
    setClock(*index, clock);
    save();
}

void AppState::save() {
    Q_EMIT aboutToSave();
    m_stateFile->save(m_clocks, m_settings);
    if (m_runningTimersSave && m_runningTimersSave->isActive()) {
        m_runningTimersSave->start(); // this save counts as the periodic one
    }
    Q_EMIT saved();
}

void AppState::changed(bool progressOnly) {
    if (!m_autosave || progressOnly) {
        return;
    }
    m_autosave->start(); // each change restarts the quiet period...
    if (!m_autosaveDeadline->isActive()) {
        m_autosaveDeadline->start(); // ...but not the wait of the oldest unsaved change
    }
}

void AppState::updateRunningTimersSave() {
    if (!m_runningTimersSave) {
        return;
    }
    if (m_runningTimers > 0 && !m_runningTimersSave->isActive()) {
        m_runningTimersSave->start();
    } else if (m_runningTimers <= 0) {
        m_runningTimersSave->stop();
    }
}

void AppState::startAutosave() {
    // The timers are children of the store, so they can never fire for a store that is gone.
    auto makeTimer = [this](int intervalMs) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setInterval(intervalMs);
        connect(timer, &QTimer::timeout, this, [self = QPointer<AppState>(this)] {
            if (self) {
                self->m_autosave->stop();
                self->m_autosaveDeadline->stop();
                self->save();
            }
        });
        return timer;
    };
    m_autosave = makeTimer(kAutosaveDelayMs);
    m_autosaveDeadline = makeTimer(kAutosaveMaximumDelayMs);
    connect(this, &AppState::settingsChanged, this, [this] { changed(false); });
    m_runningTimersSave = new QTimer(this);
    m_runningTimersSave->setInterval(kRunningTimersSaveIntervalMs);
    connect(m_runningTimersSave, &QTimer::timeout, this, &AppState::save);
    updateRunningTimersSave();
}

} // namespace tavix
