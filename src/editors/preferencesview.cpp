#include "preferencesview.h"

#include "model/appstate.h"

namespace tavix {

// The sections arrive with the settings editors; until then the window is empty at its fixed width.
PreferencesView::PreferencesView(AppState* state, OpenClockWindow openNewClockWindow, double labelWidth,
                                 QWidget* parent)
    : QWidget(parent), m_state(state), m_openNewClockWindow(std::move(openNewClockWindow)), m_labelWidth(labelWidth) {
    setFixedWidth(480);
    setMinimumHeight(200);
}

} // namespace tavix
