#include "timecodesettingseditor.h"

#include "editorstyle.h"
#include "levelbar.h"

#include "platform/mainthreadinbox.h"
#include "timecode/audioinputdevicemanager.h"
#include "timecode/timecoderuntime.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace tavix {

namespace {

const QColor kWarningOrange(0xff, 0x9f, 0x0a);

QComboBox* makeMenu(const QString& accessibleName) {
    auto* menu = new QComboBox;
    menu->setAccessibleName(accessibleName);
    menu->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    menu->setMinimumWidth(120);
    menu->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return menu;
}

QHBoxLayout* filling(QWidget* control) {
    QHBoxLayout* row = makeControlsRow(0);
    row->addWidget(control, 1);
    return row;
}

std::vector<AudioDeviceChoice> choicesFor(const std::vector<AudioInputDeviceInfo>& infos) {
    std::vector<AudioDeviceChoice> choices;
    choices.reserve(infos.size());
    for (const AudioInputDeviceInfo& info : infos) {
        choices.push_back(makeAudioDeviceChoice(info.deviceID, info.name, info.inputChannelCount,
                                                judgeMicrophone(info).isMicrophone));
    }
    return choices;
}

} // namespace

TimecodeSettingsEditor::TimecodeSettingsEditor(Binding<TimecodeSettings> settings, TimecodeRuntime* runtime,
                                               AudioBackend* audio, double labelWidth, QWidget* parent)
    : QWidget(parent), m_settings(std::move(settings)), m_runtime(runtime), m_audio(audio),
      m_inbox(std::make_unique<MainThreadInbox>()) {
    QVBoxLayout* layout = makeSectionLayout(this, 10);
    layout->setContentsMargins(0, 0, 0, 0);

    m_deviceMenu = makeMenu(tr("Device"));
    connect(m_deviceMenu, &QComboBox::activated, this, [this](int index) {
        m_staging.setStagedDevice(m_deviceMenu->itemData(index).toString());
        refreshControls();
    });
    layout->addWidget(makeLabelRow(tr("Device"), labelWidth, filling(m_deviceMenu)));

    m_channelMenu = makeMenu(tr("Channel"));
    connect(m_channelMenu, &QComboBox::activated, this, [this](int index) {
        const QVariant data = m_channelMenu->itemData(index);
        if (data.isValid()) {
            m_staging.setStagedChannelIndex(data.toLongLong());
        }
        refreshControls();
    });
    layout->addWidget(makeLabelRow(tr("Channel"), labelWidth, filling(m_channelMenu)));

    m_frameRateMenu = makeMenu(tr("Frame Rate"));
    for (TimecodeFrameRate rate : allTimecodeFrameRates()) {
        m_frameRateMenu->addItem(frameRateMenuTitle(rate), static_cast<int>(rate));
    }
    connect(m_frameRateMenu, &QComboBox::activated, this, [this](int index) {
        m_staging.setStagedFrameRate(
            static_cast<TimecodeFrameRate>(m_frameRateMenu->itemData(index).toInt()));
        refreshControls();
    });
    layout->addWidget(makeLabelRow(tr("Frame Rate"), labelWidth, filling(m_frameRateMenu)));

    m_incomingText = makeSecondaryLabel(QString(), captionFont());
    m_incomingText->setAccessibleName(tr("Signal"));
    m_incomingText->setWordWrap(true);
    QHBoxLayout* incoming = makeControlsRow(0);
    incoming->addWidget(m_incomingText, 1);
    layout->addWidget(makeLabelRow(tr("Signal"), labelWidth, incoming));

    {
        const QColor orange = kWarningOrange;
        auto* icon = new QLabel;
        icon->setPixmap(symbolIcon(Symbol::exclamationTriangleFill, orange).pixmap(16, 16));
        icon->setAlignment(Qt::AlignTop);
        auto* text = new QLabel(tr("Built-in microphones are not supported for LTC. Choose a line-level "
                                   "input (e.g. interface or virtual driver)."));
        text->setFont(calloutFont());
        text->setWordWrap(true);
        QPalette palette = text->palette();
        palette.setColor(QPalette::WindowText, orange);
        text->setPalette(palette);
        QHBoxLayout* warning = makeControlsRow(6);
        warning->addWidget(icon, 0, Qt::AlignTop);
        warning->addWidget(text, 1);
        m_warningRow = makeLabelRow(QString(), labelWidth, warning, true, 0);
        m_warningRow->layout()->setContentsMargins(0, 2, 0, 0);
        layout->addWidget(m_warningRow);
    }

    auto* divider = new QWidget;
    auto* dividerLayout = new QVBoxLayout(divider);
    dividerLayout->setContentsMargins(0, 2, 0, 2);
    dividerLayout->addWidget(makeDivider());
    layout->addWidget(divider);

    m_levelBar = new LevelBar;
    m_decodedText = makeSecondaryLabel(QString(), captionFont());
    m_refreshButton = new QPushButton(tr("Refresh"));
    m_refreshButton->setToolTip(tr("Rescan audio input devices"));
    m_refreshButton->setIcon(symbolIcon(Symbol::arrowClockwise, primaryTextColor()));
    m_refreshButton->setFocusPolicy(Qt::TabFocus);
    // The spinner replaces the title while listing; keep the button's width so nothing jumps.
    m_refreshButton->setFixedWidth(m_refreshButton->sizeHint().width());
    connect(m_refreshButton, &QPushButton::clicked, this, [this] { loadDevicesOnce(true); });
    QHBoxLayout* live = makeControlsRow(12);
    live->addWidget(m_levelBar, 0, Qt::AlignVCenter);
    live->addWidget(m_decodedText, 0, Qt::AlignVCenter);
    layout->addWidget(makeLabelRow(QString(), labelWidth, live, true, 0));

    m_cancelButton = new QPushButton(tr("Cancel"));
    m_applyButton = new QPushButton(tr("Apply"));
    m_applyButton->setDefault(true);
    connect(m_cancelButton, &QPushButton::clicked, this, &TimecodeSettingsEditor::cancel);
    connect(m_applyButton, &QPushButton::clicked, this, &TimecodeSettingsEditor::apply);
    // Return applies from this section's own controls only: in the panel's other fields it means
    // something else (or nothing), and must never switch the clock's input. Escape cancels anywhere.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, &TimecodeSettingsEditor::apply);
    }
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, &TimecodeSettingsEditor::cancel);
    // Refresh leads the button row: beside the level bar and the decoded time it would not fit
    // the panel's width.
    QHBoxLayout* buttons = makeControlsRow(8);
    buttons->addWidget(m_refreshButton);
    buttons->addStretch(1);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_applyButton);
    auto* buttonRow = new QWidget;
    buttonRow->setLayout(buttons);
    buttons->setContentsMargins(0, 2, 0, 0);
    layout->addWidget(buttonRow);

    m_spinner = new QTimer(this);
    m_spinner->setInterval(80);
    connect(m_spinner, &QTimer::timeout, this, [this] {
        m_spinnerAngle = (m_spinnerAngle + 30) % 360;
        m_refreshButton->setIcon(spinnerIcon(m_spinnerAngle, primaryTextColor()));
    });

    if (m_runtime) {
        // The level and the decoded time follow the clock's input while the panel is open.
        connect(m_runtime, &TimecodeRuntime::changed, this, &TimecodeSettingsEditor::refreshLive);
    }
    refreshLive();

    m_staging.appear(m_settings.get());
    refreshControls();
    loadDevicesOnce(false);
}

TimecodeSettingsEditor::~TimecodeSettingsEditor() = default;

void TimecodeSettingsEditor::loadDevicesOnce(bool force) {
    if (!m_staging.beginLoading(force)) {
        return;
    }
    refreshControls();
    const MainThreadInbox::Sender sender = m_inbox->sender();
    const QPointer<TimecodeSettingsEditor> self(this);
    const auto take = [sender, self](const std::vector<AudioInputDeviceInfo>& infos) {
        // The inbox drops the result when the editor has gone in the meantime.
        sender.post([self, choices = choicesFor(infos)]() mutable {
            if (self) {
                self->m_staging.finishLoading(std::move(choices));
                self->refreshControls();
            }
        });
    };
    if (m_audio == nullptr) {
        take({});
        return;
    }
    // The listing waits for the sound server, so it runs on the backend's worker.
    m_audio->post([take, audio = m_audio] { take(listInputDevices(*audio)); });
}

void TimecodeSettingsEditor::apply() {
    const TimecodeSettings stored = m_settings.get();
    const std::optional<TimecodeSettings> applied = m_staging.settingsToApply(stored);
    if (!applied) {
        return;
    }
    // One write: three would restart capture three times, twice with a device and channel pair
    // that the user never chose.
    m_settings.set(*applied);
    Q_EMIT dismissRequested();
}

void TimecodeSettingsEditor::cancel() {
    Q_EMIT dismissRequested();
}

void TimecodeSettingsEditor::refreshControls() {
    m_refreshing = true;
    const bool loading = m_staging.isLoading();

    m_deviceMenu->clear();
    int deviceIndex = -1;
    if (const std::optional<QString> missing = m_staging.notConnectedDeviceIDString()) {
        if (*missing == m_staging.stagedDeviceIDString()) {
            deviceIndex = 0;
        }
        m_deviceMenu->addItem(m_staging.notConnectedTitle(), *missing);
    }
    for (const AudioDeviceChoice& choice : m_staging.devices()) {
        if (choice.deviceIDString == m_staging.stagedDeviceIDString() && deviceIndex < 0) {
            deviceIndex = m_deviceMenu->count();
        }
        m_deviceMenu->addItem(deviceMenuTitle(choice), choice.deviceIDString);
    }
    m_deviceMenu->setCurrentIndex(deviceIndex);
    m_deviceMenu->setEnabled(!loading);

    m_channelMenu->clear();
    const std::uint32_t channels = m_staging.stagedChannelCount();
    if (m_staging.isStagedDeviceNotConnected()) {
        // Its channels are not known while it is away; show the stored one, unchangeable.
        m_channelMenu->addItem(channelMenuTitle(m_staging.stagedChannelIndex()),
                               static_cast<qlonglong>(m_staging.stagedChannelIndex()));
        m_channelMenu->setCurrentIndex(0);
        m_channelMenu->setEnabled(false);
    } else if (channels == 0) {
        m_channelMenu->addItem(QStringLiteral("\u2014"));
        m_channelMenu->setCurrentIndex(0);
        m_channelMenu->setEnabled(false);
    } else {
        for (std::uint32_t i = 0; i < channels; ++i) {
            m_channelMenu->addItem(channelMenuTitle(i), static_cast<qlonglong>(i));
        }
        const std::int64_t staged = m_staging.stagedChannelIndex();
        m_channelMenu->setCurrentIndex(
            staged >= 0 && staged < std::int64_t{channels} ? static_cast<int>(staged) : -1);
        m_channelMenu->setEnabled(!loading);
    }

    m_frameRateMenu->setCurrentIndex(
        m_frameRateMenu->findData(static_cast<int>(m_staging.stagedFrameRate())));
    refreshIncoming();

    m_warningRow->setVisible(m_staging.forbidInternalDevices() && m_staging.isStagedDeviceInternal());
    m_applyButton->setEnabled(m_staging.canApply());

    if (loading && !m_spinner->isActive()) {
        m_refreshButton->setText(QString());
        m_refreshButton->setIcon(spinnerIcon(m_spinnerAngle, primaryTextColor()));
        m_spinner->start();
    } else if (!loading && m_spinner->isActive()) {
        m_spinner->stop();
        m_refreshButton->setText(tr("Refresh"));
        m_refreshButton->setIcon(symbolIcon(Symbol::arrowClockwise, primaryTextColor()));
    }
    m_refreshing = false;
}

void TimecodeSettingsEditor::refreshLive() {
    if (!m_runtime) {
        return;
    }
    m_levelBar->setLevel(static_cast<double>(m_runtime->level()));
    const QString text = m_runtime->displayString();
    if (m_decodedText->text() != text) {
        m_decodedText->setText(text);
    }
    refreshIncoming();
}

void TimecodeSettingsEditor::refreshIncoming() {
    // Against the rate in the menu, so that choosing the right one shows at once that it fits.
    const IncomingText incoming =
        m_runtime ? tavix::incomingText(m_runtime->hasLiveTimecode(), m_runtime->measuredFramesPerSecond(),
                                        m_runtime->liveTime().dropFrame, m_staging.stagedFrameRate())
                  : IncomingText{QStringLiteral("No LTC"), false};
    if (m_incomingText->text() == incoming.text) {
        return;
    }
    m_incomingText->setText(incoming.text);
    QPalette palette = m_incomingText->palette();
    palette.setColor(QPalette::WindowText, incoming.differs ? kWarningOrange : secondaryTextColor());
    m_incomingText->setPalette(palette);
}

} // namespace tavix
