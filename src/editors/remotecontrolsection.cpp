#include "remotecontrolsection.h"

#include "editorstyle.h"
#include "toggle.h"

#include "model/appstate.h"
#include "platform/randomtoken.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <functional>

namespace tavix {

namespace {

QSpinBox* makePortBox(const QString& toolTip) {
    auto* box = new QSpinBox;
    box->setRange(1, 65535);
    // Rebinding on every keystroke would try ports the user is only passing through.
    box->setKeyboardTracking(false);
    box->setToolTip(toolTip);
    box->setAccessibleName(toolTip);
    box->setFixedWidth(80);
    return box;
}

void writeSettings(AppState* state, const std::function<void(AppSettings&)>& change) {
    AppSettings settings = state->settings();
    change(settings);
    if (!(settings == state->settings())) {
        state->setSettings(settings);
    }
}

} // namespace

RemoteControlSection::RemoteControlSection(AppState* state, double labelWidth, QWidget* parent)
    : QWidget(parent), m_state(state), m_enabled(new Toggle(tr("On"))),
      m_httpPort(makePortBox(tr("HTTP and WebSocket port"))), m_oscPort(makePortBox(tr("OSC port (UDP)"))),
      m_allowOthers(new Toggle(tr("Allow other computers"))), m_token(new QLineEdit),
      m_showToken(new QPushButton(tr("Show"))), m_newToken(new QPushButton(tr("New Token"))),
      m_url(new QLabel), m_copyUrl(new QPushButton(tr("Copy"))), m_problem(new QLabel) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* title = new QLabel(tr("Remote control"));
    title->setFont(headlineFont());
    layout->addWidget(title);

    m_enabled->setToolTip(tr("Control the clocks over HTTP, WebSocket and OSC"));
    auto* enabledRow = makeControlsRow(8);
    enabledRow->addWidget(m_enabled);
    layout->addWidget(makeLabelRow(tr("Remote"), labelWidth, enabledRow, false, 0));

    auto* ports = makeControlsRow(8);
    ports->addWidget(new QLabel(QStringLiteral("HTTP"))); // untranslated
    ports->addWidget(m_httpPort);
    ports->addSpacing(8);
    ports->addWidget(new QLabel(QStringLiteral("OSC"))); // untranslated
    ports->addWidget(m_oscPort);
    layout->addWidget(makeLabelRow(tr("Ports"), labelWidth, ports, false, 0));

    m_allowOthers->setToolTip(tr("Listen on the network, not only on this computer; every "
                                 "request then needs the access token."));
    auto* network = makeControlsRow(8);
    network->addWidget(m_allowOthers);
    layout->addWidget(makeLabelRow(tr("Network"), labelWidth, network, false, 0));

    m_token->setReadOnly(true);
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setMinimumWidth(150);
    m_token->setAccessibleName(tr("Access token"));
    styleTextBox(m_token);
    m_showToken->setCheckable(true);
    auto* tokenRow = makeControlsRow(8);
    tokenRow->addWidget(m_token, 1);
    tokenRow->addWidget(m_showToken);
    tokenRow->addWidget(m_newToken);
    layout->addWidget(makeLabelRow(tr("Access Token"), labelWidth, tokenRow, false, 0));

    m_url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_url->setWordWrap(true);
    m_url->setMinimumWidth(180);
    m_copyUrl->setToolTip(tr("Copy the address of the web remote"));
    auto* urlRow = makeControlsRow(8);
    urlRow->addWidget(m_url, 1);
    urlRow->addWidget(m_copyUrl);
    layout->addWidget(makeLabelRow(tr("Web Remote"), labelWidth, urlRow, false, 0));

    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #ffcc00;"));
    m_problem->hide();
    layout->addWidget(m_problem);

    connect(m_enabled, &Toggle::clicked, this, [this](bool on) {
        writeSettings(m_state, [on](AppSettings& s) { s.remoteControlEnabled = on; });
    });
    connect(m_allowOthers, &Toggle::clicked, this, [this](bool on) {
        writeSettings(m_state, [on](AppSettings& s) {
            s.remoteAllowOtherComputers = on;
            if (on && s.remoteAccessToken.isEmpty()) {
                s.remoteAccessToken = randomAccessToken();
            }
        });
    });
    connect(m_httpPort, &QSpinBox::valueChanged, this, [this](int port) {
        if (!m_refreshing) {
            writeSettings(m_state, [port](AppSettings& s) { s.remoteHttpPort = port; });
        }
    });
    connect(m_oscPort, &QSpinBox::valueChanged, this, [this](int port) {
        if (!m_refreshing) {
            writeSettings(m_state, [port](AppSettings& s) { s.remoteOscPort = port; });
        }
    });
    connect(m_showToken, &QPushButton::toggled, this, [this](bool shown) {
        m_token->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
        m_showToken->setText(shown ? tr("Hide") : tr("Show"));
        showUrl();
    });
    connect(m_newToken, &QPushButton::clicked, this, [this] {
        writeSettings(m_state, [](AppSettings& s) { s.remoteAccessToken = randomAccessToken(); });
    });
    connect(m_copyUrl, &QPushButton::clicked, this, [this] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) {
            clipboard->setText(m_fullUrl);
        }
    });
    connect(m_state, &AppState::settingsChanged, this, &RemoteControlSection::refresh);
    refresh();
}

void RemoteControlSection::refresh() {
    m_refreshing = true;
    const AppSettings& s = m_state->settings();
    m_enabled->setChecked(s.remoteControlEnabled);
    m_allowOthers->setChecked(s.remoteAllowOtherComputers);
    // A stored value outside 1…65535 shows as the nearest end until it is edited.
    m_httpPort->setValue(static_cast<int>(std::clamp<std::int64_t>(s.remoteHttpPort, 1, 65535)));
    m_oscPort->setValue(static_cast<int>(std::clamp<std::int64_t>(s.remoteOscPort, 1, 65535)));
    m_token->setText(s.remoteAccessToken);
    for (QWidget* control : {static_cast<QWidget*>(m_httpPort), static_cast<QWidget*>(m_oscPort),
                             static_cast<QWidget*>(m_allowOthers)}) {
        control->setEnabled(s.remoteControlEnabled);
    }
    const bool tokenInUse = s.remoteControlEnabled && s.remoteAllowOtherComputers;
    m_token->setEnabled(tokenInUse);
    m_showToken->setEnabled(tokenInUse);
    m_newToken->setEnabled(tokenInUse);
    showUrl();
    m_refreshing = false;
}

void RemoteControlSection::setStatus(const QString& url, const QString& problem) {
    m_fullUrl = url;
    showUrl();
    m_problem->setText(problem.isEmpty() ? QString() : QStringLiteral("\u26A0\uFE0F ") + problem);
    m_problem->setVisible(!problem.isEmpty());
}

void RemoteControlSection::showUrl() {
    const AppSettings& s = m_state->settings();
    if (!s.remoteControlEnabled) {
        m_url->setText(tr("Off"));
        m_copyUrl->setEnabled(false);
        return;
    }
    QString shown = m_fullUrl;
    const QString token = s.remoteAccessToken;
    // The address carries the token; it is shown in full only while the token is.
    if (!token.isEmpty() && !m_showToken->isChecked()) {
        shown.replace(token, token.left(4) + QChar(0x2026));
    }
    if (!s.remoteAllowOtherComputers) {
        shown += tr("\nOn this computer only: allow other computers to open it on a phone.");
    }
    m_url->setText(shown);
    m_copyUrl->setEnabled(!m_fullUrl.isEmpty());
}

} // namespace tavix
