#pragma once

#include "model/appstate.h"
#include "model/clockbinding.h"

#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace tavix::test {

/// A store over a fresh temporary folder, with one clock to edit.
struct EditorFixture {
    QTemporaryDir directory;
    std::shared_ptr<StateFile> stateFile = std::make_shared<StateFile>(directory.path());
    std::unique_ptr<AppState> state = std::make_unique<AppState>(stateFile);

    ~EditorFixture() {
        state.reset();
        stateFile->flushPendingWrites();
    }

    QUuid firstClockID() const { return state->clocks().front().id; }
    ClockBinding binding() const { return ClockBinding(state.get(), firstClockID()); }
    ClockModel clock() const { return binding().read(); }
    void change(const std::function<void(ClockModel&)>& edit) const {
        ClockModel model = clock();
        edit(model);
        binding().write(model);
    }
};

} // namespace tavix::test
