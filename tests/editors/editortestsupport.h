#pragma once

#include "support/storetest.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

namespace tavix::test {

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
