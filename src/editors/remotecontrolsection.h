#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace tavix {

class AppState;
class Toggle;

/// The "Remote control" section of the settings window: on/off, the HTTP and OSC ports, "Allow
/// other computers" with its access token, and the address to open on a phone. Edits the remote
/// keys of the settings; the application shows the servers' state through setStatus().
/// Main thread only.
class RemoteControlSection : public QWidget {
    Q_OBJECT

public:
    RemoteControlSection(AppState* state, double labelWidth, QWidget* parent = nullptr);

    /// `url` is the web remote's address (with the token when other computers are allowed);
    /// `problem` says why a server does not run ("" when all is well).
    void setStatus(const QString& url, const QString& problem);

    Toggle* enabledToggle() const { return m_enabled; }
    QSpinBox* httpPortBox() const { return m_httpPort; }
    QSpinBox* oscPortBox() const { return m_oscPort; }
    Toggle* allowOthersToggle() const { return m_allowOthers; }
    QLineEdit* tokenBox() const { return m_token; }
    QPushButton* newTokenButton() const { return m_newToken; }
    QLabel* urlText() const { return m_url; }
    QPushButton* copyUrlButton() const { return m_copyUrl; }
    QLabel* problemText() const { return m_problem; }

private:
    void refresh();
    void showUrl();

    AppState* m_state;
    Toggle* m_enabled;
    QSpinBox* m_httpPort;
    QSpinBox* m_oscPort;
    Toggle* m_allowOthers;
    QLineEdit* m_token;
    QPushButton* m_showToken;
    QPushButton* m_newToken;
    QLabel* m_url;
    QPushButton* m_copyUrl;
    QLabel* m_problem;
    QString m_fullUrl;
    bool m_refreshing = false;
};

} // namespace tavix
