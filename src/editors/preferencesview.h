#pragma once

#include <QUuid>
#include <QWidget>

#include <functional>

namespace tavix {

class AppState;

/// The content of the settings window: the defaults for new clocks and the list of all clocks.
/// Main thread only.
class PreferencesView : public QWidget {
    Q_OBJECT

public:
    using OpenClockWindow = std::function<void(const QUuid&)>;

    PreferencesView(AppState* state, OpenClockWindow openNewClockWindow, double labelWidth = 160,
                    QWidget* parent = nullptr);

private:
    AppState* m_state;
    OpenClockWindow m_openNewClockWindow;
    double m_labelWidth;
};

} // namespace tavix
