#include "stagesettingssection.h"

#include "editorstyle.h"
#include "toggle.h"

#include "model/appstate.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tavix {

namespace {

QWidget* row(const QString& label, double labelWidth, QWidget* control, QWidget* second = nullptr) {
    QHBoxLayout* controls = makeControlsRow(8);
    controls->addWidget(control, 0, Qt::AlignVCenter);
    if (second) {
        controls->addWidget(second, 1, Qt::AlignVCenter);
    }
    return makeLabelRow(label, labelWidth, controls, true, 2);
}

} // namespace

StageSettingsSection::StageSettingsSection(ClockBinding clock, double labelWidth, QWidget* parent)
    : QWidget(parent), m_clock(std::move(clock)), m_stageMode(new Toggle(tr("Stage Mode"))),
      m_screen(new QComboBox), m_caption(new QComboBox), m_message(new QLineEdit),
      m_clickThrough(new Toggle(tr("Click-Through"))) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);

    m_screen->setAccessibleName(tr("Stage Screen"));
    m_screen->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    layout->addWidget(row(tr("Stage"), labelWidth, m_stageMode));
    // Its own line: a screen's name and size do not fit beside the toggle in the panel's width.
    layout->addWidget(row(QString(), labelWidth, m_screen));
    connect(m_stageMode, &Toggle::clicked, this,
            [this](bool on) { writeStage([on](StageSettings& s) { s.isActive = on; }); });
    connect(m_screen, &QComboBox::activated, this, [this](int index) {
        const QString name = m_screen->itemData(index).toString();
        writeStage([&name](StageSettings& s) { s.screenName = name; });
    });

    m_caption->addItem(tr("None"), static_cast<int>(CaptionKind::none));
    m_caption->addItem(tr("Clock Name"), static_cast<int>(CaptionKind::name));
    m_caption->addItem(tr("Message"), static_cast<int>(CaptionKind::message));
    m_caption->setAccessibleName(tr("Caption"));
    m_message->setPlaceholderText(tr("Message line"));
    m_message->setAccessibleName(tr("Message"));
    styleTextBox(m_message);
    layout->addWidget(row(tr("Caption"), labelWidth, m_caption, m_message));
    connect(m_caption, &QComboBox::activated, this, [this](int index) {
        const auto kind = static_cast<CaptionKind>(m_caption->itemData(index).toInt());
        writeStage([kind](StageSettings& s) { s.caption = kind; });
    });
    connect(m_message, &QLineEdit::textEdited, this, [this](const QString& text) {
        // Typing a message is asking for it to show.
        writeStage([&text](StageSettings& s) {
            s.message = text;
            s.caption = CaptionKind::message;
        });
    });

    m_clickThrough->setToolTip(tr("Clicks go to the windows below; the clock's menu stays in the tray "
                                  "and the settings window"));
    layout->addWidget(row(tr("Input"), labelWidth, m_clickThrough));
    connect(m_clickThrough, &Toggle::clicked, this,
            [this](bool on) { writeStage([on](StageSettings& s) { s.clickThrough = on; }); });

    if (AppState* state = m_clock.appState()) {
        connect(state, &AppState::clocksChanged, this, &StageSettingsSection::refresh);
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::screenAdded, this, &StageSettingsSection::refresh);
        connect(app, &QGuiApplication::screenRemoved, this, &StageSettingsSection::refresh);
    }
    refresh();
}

void StageSettingsSection::fillScreens(const StageSettings& stage) {
    const QSignalBlocker blocker(m_screen);
    m_screen->clear();
    const QScreen* primary = QGuiApplication::primaryScreen();
    int current = -1;
    int primaryIndex = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QSize size = screen->geometry().size();
        m_screen->addItem(tr("%1 (%2\u00D7%3)").arg(screen->name()).arg(size.width()).arg(size.height()),
                          screen->name());
        if (stage.screenName && screen->name() == *stage.screenName) {
            current = m_screen->count() - 1;
        }
        if (screen == primary) {
            primaryIndex = m_screen->count() - 1;
        }
    }
    // A chosen screen that is not connected now: the stage is on the primary one meanwhile.
    m_screen->setCurrentIndex(current >= 0 ? current : primaryIndex);
}

void StageSettingsSection::refresh() {
    if (m_refreshing) {
        return;
    }
    m_refreshing = true;
    const StageSettings stage = m_clock.read().stage.value_or(StageSettings{});
    m_stageMode->setChecked(stage.isActive);
    fillScreens(stage);
    {
        const QSignalBlocker blocker(m_caption);
        m_caption->setCurrentIndex(m_caption->findData(static_cast<int>(stage.caption)));
    }
    if (m_message->text() != stage.message) {
        m_message->setText(stage.message);
    }
    m_clickThrough->setChecked(stage.clickThrough);
    m_refreshing = false;
}

void StageSettingsSection::writeStage(const std::function<void(StageSettings&)>& change) {
    ClockModel clock = m_clock.read();
    StageSettings stage = clock.stage.value_or(StageSettings{});
    change(stage);
    clock.stage = stage;
    m_clock.write(clock);
}

} // namespace tavix
