#pragma once

#include "model/appstate.h"
#include "model/clockbinding.h"
#include "model/statecodec.h"
#include "testsupport.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tavix::test {

/// A new clock of the default settings, named `name`, in `mode`.
inline ClockModel makeClock(const char* name = "Clock 1", ClockMode mode = ClockMode::clock) {
    ClockModel clock = ClockModel::makeNew(QUuid::createUuid(), QString::fromUtf8(name), AppSettings{});
    clock.mode = mode;
    return clock;
}

/// A state holding `clocks`, optionally set up further by `change`.
inline PersistenceContainer stateOf(const QList<ClockModel>& clocks,
                                    const std::function<void(AppSettings&)>& change = {}) {
    PersistenceContainer state;
    state.clocks = clocks;
    if (change) {
        change(state.settings);
    }
    return state;
}

inline void writeState(const QString& path, const PersistenceContainer& state) {
    writeFile(path, *encodeStateFile(state, nullptr));
}

/// A store over a fresh temporary folder; a new one holds "Clock 1".
struct Store {
    QTemporaryDir dir;
    std::shared_ptr<StateFile> file = std::make_shared<StateFile>(dir.path());
    AppState state{file};

    ~Store() { file->flushPendingWrites(); }
    ClockModel clock(int i = 0) const { return state.clocks().at(i); }
    QUuid id(int i = 0) const { return clock(i).id; }
    ClockBinding binding(int i = 0) { return ClockBinding(&state, id(i)); }
    void edit(int i, const std::function<void(ClockModel&)>& change) {
        ClockModel c = clock(i);
        change(c);
        state.setClock(i, c);
    }
    void edit(const std::function<void(ClockModel&)>& change) { edit(0, change); }
    void changeSettings(const std::function<void(AppSettings&)>& change) {
        AppSettings s = state.settings();
        change(s);
        state.setSettings(s);
    }
};

} // namespace tavix::test
