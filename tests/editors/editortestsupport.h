#pragma once

#include "model/appstate.h"
#include "model/clockbinding.h"
#include "testsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

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

/// Types `text` over the whole content of `box`, as a user would after selecting it.
inline void retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(box, Qt::Key_Backspace);
    }
    QTest::keyClicks(box, text);
}

/// Moves `menu` to `index` with the arrow keys, as a user would without opening its list.
inline void chooseByKeys(QComboBox* menu, int index) {
    menu->setFocus();
    for (int i = 0; i < menu->count() && menu->currentIndex() != index; ++i) {
        QTest::keyClick(menu, menu->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    }
}

/// Whether a window that deletes itself on close is gone within a second.
template <typename Window>
bool closes(const QPointer<Window>& window) {
    return waitUntil([&window] { return window.isNull(); }, 1000);
}

} // namespace tavix::test
