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

AppState::AppState(std::shared_ptr<StateFile> stateFile, QObject* parent)
    : QObject(parent), m_stateFile(std::move(stateFile)) {
    if (auto saved = m_stateFile->loadSavedState()) {
        m_clocks = std::move(saved->clocks);
        m_settings = saved->settings;
    }
    if (m_clocks.isEmpty()) {
        addClock();
    }
    startAutosave();
}

AppState::~AppState() = default;

void AppState::setClocks(QList<ClockModel> clocks) {
    m_clocks = std::move(clocks);
    Q_EMIT clocksChanged();
}

void AppState::setClock(qsizetype index, const ClockModel& clock) {
    if (index < 0 || index >= m_clocks.size()) {
        return;
    }
    m_clocks[index] = clock;
    Q_EMIT clocksChanged();
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
    for (qsizetype i = 0; i < m_clocks.size(); ++i) {
        if (m_clocks[i].id == id) {
            return i;
        }
    }
    return std::nullopt;
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
    m_stateFile->save(m_clocks, m_settings);
    Q_EMIT saved();
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
    auto changed = [this] {
        m_autosave->start(); // each change restarts the quiet period...
        if (!m_autosaveDeadline->isActive()) {
            m_autosaveDeadline->start(); // ...but not the wait of the oldest unsaved change
        }
    };
    connect(this, &AppState::clocksChanged, this, changed);
    connect(this, &AppState::settingsChanged, this, changed);
}

} // namespace tavix
