#include "preferencesview.h"

#include "clocknamevalidator.h"
#include "clocksettingspopover.h"
#include "colorpanel.h"
#include "colorwell.h"
#include "editorstyle.h"
#include "remotecontrolsection.h"
#include "settingstext.h"
#include "toggle.h"

#include "model/appstate.h"
#include "platform/version.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace tavix {

namespace {

constexpr int kSettingsWidth = 480;
constexpr int kMinimumStartMinutes = 1;
constexpr int kMaximumStartMinutes = 120;

/// The rounded, slightly darker ground of one clock row.
class ClockRowFrame : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, 51));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
};

QPushButton* makeIconButton(Symbol symbol, const QString& toolTip) {
    auto* button = new QPushButton;
    button->setFlat(true);
    button->setIcon(symbolIcon(symbol, primaryTextColor()));
    button->setIconSize(QSize(18, 18));
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setCursor(Qt::PointingHandCursor);
    button->setFixedSize(28, 26);
    return button;
}

Binding<ColorValue> settingsColorBinding(AppState* state, ColorValue AppSettings::*field) {
    return {[state, field] { return state->settings().*field; },
            [state, field](const ColorValue& value) {
                AppSettings settings = state->settings();
                settings.*field = value;
                state->setSettings(settings);
            }};
}

int startSliderPosition(double seconds) {
    // An older file may hold a start outside the slider's range; the slider shows the nearest end
    // and writes nothing until it is moved.
    if (std::isnan(seconds)) {
        return kMinimumStartMinutes;
    }
    return static_cast<int>(
        std::clamp(std::round(seconds / 60), double{kMinimumStartMinutes}, double{kMaximumStartMinutes}));
}

} // namespace

PreferencesView::PreferencesView(AppState* state, OpenClockWindow openNewClockWindow, double labelWidth,
                                 QWidget* parent)
    : QWidget(parent), m_state(state), m_openNewClockWindow(std::move(openNewClockWindow)),
      m_labelWidth(labelWidth), m_colorPanel(new ColorPanel(this)) {
    applyEditorLook(this);
    setFixedWidth(kSettingsWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(24);
    layout->addWidget(makeDefaultsSection());
    layout->addWidget(makeDivider());
    layout->addWidget(makeClocksSection());
    layout->addWidget(makeDivider());
    m_remoteControl = new RemoteControlSection(m_state, m_labelWidth);
    layout->addWidget(m_remoteControl);
    layout->addStretch(1);
    // Which Tavix this is, for a bug report or a question on a forum.
    m_versionText = makeSecondaryLabel(tr("Tavix %1").arg(QString::fromLatin1(kVersion)), captionFont());
    m_versionText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_versionText);

    // Standard output is out of sight on a desktop, so trouble with the state file shows here too.
    m_saveNote = new QLabel;
    m_saveNote->setWordWrap(true);
    m_saveNote->setTextFormat(Qt::PlainText);
    m_saveNote->setStyleSheet(QStringLiteral("color: #ffcc00;"));
    layout->insertWidget(0, m_saveNote);
    StateFileStatus* status = &m_state->stateFile().status();
    const auto showStatus = [this, status] {
        QStringList lines = status->keptAside();
        if (!status->saveFailure().isEmpty()) {
            lines.prepend(tr("Your changes are not being saved: ") + status->saveFailure());
        }
        m_saveNote->setText(lines.join(QLatin1Char('\n')));
        m_saveNote->setVisible(!lines.isEmpty());
    };
    connect(status, &StateFileStatus::changed, this, showStatus);
    showStatus();

    connect(m_state, &AppState::settingsChanged, this, &PreferencesView::refreshSettings);
    connect(m_state, &AppState::clocksChanged, this, &PreferencesView::refreshClocks);
    refreshSettings();
    refreshClocks();
}

PreferencesView::~PreferencesView() = default;

void PreferencesView::writeSettings(const std::function<void(AppSettings&)>& change) {
    AppSettings settings = m_state->settings();
    change(settings);
    m_state->setSettings(settings);
}

QWidget* PreferencesView::makeDefaultsSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto* title = new QLabel(tr("Defaults"));
    title->setFont(headlineFont());
    layout->addWidget(title);

    m_wells = {
        new ColorWell(tr("BG"), tr("Default background colour for new clocks"),
                      settingsColorBinding(m_state, &AppSettings::defaultBackgroundColor), m_colorPanel),
        new ColorWell(tr("Text"), tr("Default text colour for new clocks"),
                      settingsColorBinding(m_state, &AppSettings::defaultForegroundColor), m_colorPanel),
        new ColorWell(tr("Outline"), tr("Default outline colour for new clocks"),
                      settingsColorBinding(m_state, &AppSettings::defaultOutlineColor), m_colorPanel)};
    layout->addWidget(makeLabelRow(tr("Colour"), m_labelWidth,
                                   makeWellsRow({m_wells.begin(), m_wells.end()}, 12), false, 0));

    m_opacity = new QSlider(Qt::Horizontal);
    m_opacity->setRange(ClockSettingsPopover::sliderPositionForOpacity(0.1),
                        ClockSettingsPopover::sliderPositionForOpacity(1.0));
    m_opacity->setPageStep(2);
    m_opacity->setMinimumWidth(160);
    m_opacity->setAccessibleName(tr("Opacity"));
    connect(m_opacity, &QSlider::valueChanged, this, [this](int position) {
        if (!m_refreshing) {
            writeSettings([position](AppSettings& s) {
                s.defaultOpacity = ClockSettingsPopover::opacityForSliderPosition(position);
            });
        }
    });
    m_opacityText = new QLabel;
    m_opacityText->setFixedWidth(44);
    m_opacityText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QHBoxLayout* opacity = makeControlsRow(8);
    opacity->addWidget(m_opacity, 1, Qt::AlignVCenter);
    opacity->addWidget(m_opacityText, 0, Qt::AlignVCenter);
    layout->addWidget(makeLabelRow(tr("Opacity"), m_labelWidth, opacity, false, 0));

    m_alwaysOnTop = new Toggle(tr("Always on Top"));
    m_alwaysOnTop->setToolTip(tr("New clocks float above other windows."));
    connect(m_alwaysOnTop, &Toggle::clicked, this,
            [this](bool on) { writeSettings([on](AppSettings& s) { s.defaultAlwaysOnTop = on; }); });
    QHBoxLayout* window = makeControlsRow(0);
    window->addWidget(m_alwaysOnTop);
    layout->addWidget(makeLabelRow(tr("Window"), m_labelWidth, window, false, 0));

    m_countdownStart = new QSlider(Qt::Horizontal);
    m_countdownStart->setRange(kMinimumStartMinutes, kMaximumStartMinutes);
    m_countdownStart->setPageStep(5);
    m_countdownStart->setMinimumWidth(160);
    m_countdownStart->setAccessibleName(tr("Countdown Start"));
    connect(m_countdownStart, &QSlider::valueChanged, this, [this](int minutes) {
        if (!m_refreshing) {
            writeSettings([minutes](AppSettings& s) { s.defaultCountdownDuration = minutes * 60.0; });
        }
    });
    m_countdownStartText = new QLabel;
    m_countdownStartText->setFixedWidth(72);
    m_countdownStartText->setToolTip(tr("Hours and minutes"));
    m_countdownStartText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QHBoxLayout* startSlider = makeControlsRow(8);
    startSlider->addWidget(m_countdownStart, 1, Qt::AlignVCenter);
    startSlider->addWidget(m_countdownStartText, 0, Qt::AlignVCenter);
    auto* start = new QVBoxLayout;
    start->setContentsMargins(0, 0, 0, 0);
    start->setSpacing(4);
    start->addLayout(startSlider);
    start->addWidget(makeSecondaryLabel(tr("Default time for new countdown clocks."), captionFont()));
    layout->addWidget(makeLabelRow(tr("Countdown Start"), m_labelWidth, start, false, 0, true));

    m_keepCounting = new Toggle(tr("Running timers keep counting while closed"));
    m_keepCounting->setToolTip(tr("A running countdown or stopwatch goes on counting while its "
                                  "window is closed and while Tavix is not running."));
    connect(m_keepCounting, &Toggle::clicked, this,
            [this](bool on) { writeSettings([on](AppSettings& s) { s.runningTimersKeepCounting = on; }); });
    QHBoxLayout* timers = makeControlsRow(0);
    timers->addWidget(m_keepCounting);
    layout->addWidget(makeLabelRow(tr("Timers"), m_labelWidth, timers, false, 0));

    m_overtimeAsPlus = new Toggle(tr("Show overtime as +"));
    m_overtimeAsPlus->setToolTip(tr("Overtime reads +1:05 instead of -1:05."));
    connect(m_overtimeAsPlus, &Toggle::clicked, this,
            [this](bool on) { writeSettings([on](AppSettings& s) { s.showOvertimeAsPlus = on; }); });
    QHBoxLayout* overtime = makeControlsRow(0);
    overtime->addWidget(m_overtimeAsPlus);
    layout->addWidget(makeLabelRow(QString(), m_labelWidth, overtime, false, 0));
    return section;
}

QWidget* PreferencesView::makeClocksSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* title = new QLabel(tr("Clocks"));
    title->setFont(headlineFont());
    layout->addWidget(title);

    m_noClocks = makeSecondaryLabel(tr("No clocks."), calloutFont());
    m_noClocks->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(m_noClocks);

    m_rowsBox = new QWidget;
    m_rowsLayout = new QVBoxLayout(m_rowsBox);
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(6);
    layout->addWidget(m_rowsBox);

    // Remove asks nothing; a mistake is put right here instead.
    m_undoBar = new QWidget;
    auto* undo = new QHBoxLayout(m_undoBar);
    undo->setContentsMargins(4, 4, 0, 0);
    undo->setSpacing(12);
    m_undoText = makeSecondaryLabel(QString(), calloutFont());
    m_undoText->setTextFormat(Qt::PlainText);
    m_undoButton = new QPushButton(tr("Undo"));
    m_undoButton->setShortcut(QKeySequence::Undo);
    m_undoButton->setToolTip(
        tr("Bring the clock back (%1)").arg(m_undoButton->shortcut().toString(QKeySequence::NativeText)));
    connect(m_undoButton, &QPushButton::clicked, this, &PreferencesView::undoRemove);
    undo->addWidget(m_undoText, 1, Qt::AlignVCenter);
    undo->addWidget(m_undoButton, 0, Qt::AlignVCenter);
    m_undoBar->hide();
    layout->addWidget(m_undoBar);

    m_addClock = new QPushButton(symbolIcon(Symbol::plusCircleFill, primaryTextColor()), tr("Add Clock"));
    m_addClock->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    m_addClock->setToolTip(
        tr("Add Clock (%1)").arg(m_addClock->shortcut().toString(QKeySequence::NativeText)));
    connect(m_addClock, &QPushButton::clicked, this, &PreferencesView::addClock);
    QHBoxLayout* add = makeControlsRow(0);
    add->setContentsMargins(0, 8, 0, 0);
    add->addWidget(m_addClock, 0, Qt::AlignVCenter);
    add->addStretch(1);
    layout->addLayout(add);
    return section;
}

void PreferencesView::addClock() {
    const QUuid id = m_state->addClock();
    if (m_hooks.openAdded) {
        m_hooks.openAdded(id);
    } else if (m_openNewClockWindow) {
        m_openNewClockWindow(id);
    }
}

void PreferencesView::setWindowHooks(WindowHooks hooks) {
    m_hooks = std::move(hooks);
}

void PreferencesView::removeClock(const QUuid& id) {
    const ClockModel* clock = m_state->clock(id);
    if (!clock) {
        return;
    }
    if (!m_hooks.remove || !m_hooks.restore) {
        m_state->removeClock(id);
        return;
    }
    const QString name = clock->name;
    m_hooks.remove(id);
    m_removed.emplace_back(id, name);
    updateUndoBar();
}

void PreferencesView::undoRemove() {
    while (!m_removed.empty()) {
        const QUuid id = m_removed.back().first;
        m_removed.pop_back();
        if (m_hooks.restore && m_hooks.restore(id)) {
            break;
        }
    }
    updateUndoBar();
}

void PreferencesView::updateUndoBar() {
    if (m_removed.empty()) {
        m_undoBar->hide();
        return;
    }
    m_undoText->setText(tr("\u201C%1\u201D removed.").arg(m_removed.back().second));
    m_undoBar->show();
}

void PreferencesView::refreshSettings() {
    m_refreshing = true;
    const AppSettings& settings = m_state->settings();
    for (ColorWell* well : m_wells) {
        well->refresh();
    }
    m_opacity->setValue(ClockSettingsPopover::sliderPositionForOpacity(settings.defaultOpacity));
    m_opacityText->setText(percentageText(settings.defaultOpacity));
    m_alwaysOnTop->setChecked(settings.defaultAlwaysOnTop);
    m_keepCounting->setChecked(settings.runningTimersKeepCounting);
    m_overtimeAsPlus->setChecked(settings.showOvertimeAsPlus);
    m_countdownStart->setValue(startSliderPosition(settings.defaultCountdownDuration));
    // Hours and minutes, where the clock faces show minutes and seconds: the unit says which.
    m_countdownStartText->setText(
        tr("%1 h").arg(tavix::countdownStartText(settings.defaultCountdownDuration)));
    m_refreshing = false;
}

void PreferencesView::refreshClocks() {
    const QList<ClockModel>& clocks = m_state->clocks();
    bool sameRows = static_cast<qsizetype>(m_rows.size()) == clocks.size();
    for (qsizetype i = 0; sameRows && i < clocks.size(); ++i) {
        sameRows = m_rows[static_cast<std::size_t>(i)].id == clocks[i].id;
    }
    if (!sameRows) {
        rebuildClockRows(clocks);
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const ClockModel& clock = clocks[static_cast<qsizetype>(i)];
        ClockRow& row = m_rows[i];
        if (row.name->text() != clock.name) {
            // Only changes made elsewhere get here: this row's keystrokes already hold the text.
            row.name->setText(clock.name);
        }
        row.mode->setText(modeCaption(clock.mode));
    }
    m_noClocks->setVisible(clocks.isEmpty());
    m_rowsBox->setVisible(!clocks.isEmpty());
}

void PreferencesView::rebuildClockRows(const QList<ClockModel>& clocks) {
    // Rows whose clock is still listed are kept, so a name box being typed in keeps its focus.
    std::vector<ClockRow> kept;
    for (const ClockModel& clock : clocks) {
        const auto existing = std::find_if(m_rows.begin(), m_rows.end(), [&clock](const ClockRow& row) {
            return row.id == clock.id && row.row;
        });
        if (existing != m_rows.end()) {
            kept.push_back(*existing);
            existing->row = nullptr;
        } else {
            kept.push_back(makeClockRow(clock));
        }
    }
    for (ClockRow& gone : m_rows) {
        if (gone.row) {
            m_rowsLayout->removeWidget(gone.row);
            gone.row->hide();
            gone.row->deleteLater();
        }
    }
    m_rows = std::move(kept);
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i) {
        m_rowsLayout->removeWidget(m_rows[static_cast<std::size_t>(i)].row);
        m_rowsLayout->insertWidget(i, m_rows[static_cast<std::size_t>(i)].row);
    }
}

PreferencesView::ClockRow PreferencesView::makeClockRow(const ClockModel& clock) {
    ClockRow row;
    row.id = clock.id;
    row.row = new ClockRowFrame;
    auto* layout = new QHBoxLayout(row.row);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(12);

    row.name = new QLineEdit(clock.name);
    row.name->setValidator(new ClockNameValidator(row.name));
    row.name->setPlaceholderText(tr("Name"));
    row.name->setFixedWidth(160);
    styleTextBox(row.name);
    row.name->setAccessibleName(tr("Name"));
    const QUuid id = clock.id;
    connect(row.name, &QLineEdit::textEdited, this, [this, id](const QString& text) {
        if (const auto index = m_state->indexOfClock(id)) {
            ClockModel changed = m_state->clocks().at(*index);
            changed.name = text;
            m_state->setClock(*index, changed);
        }
    });
    connect(row.name, &QLineEdit::returnPressed, this, [this, id] {
        if (const auto index = m_state->indexOfClock(id)) {
            m_state->renameClock(id, m_state->clocks().at(*index).name);
        }
    });
    layout->addWidget(row.name, 0, Qt::AlignVCenter);

    row.mode = makeSecondaryLabel(modeCaption(clock.mode), captionFont());
    layout->addWidget(row.mode, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    row.open = makeIconButton(Symbol::windowOnRectangle, tr("Open / Reopen This Clock"));
    connect(row.open, &QPushButton::clicked, this, [this, id] {
        if (m_openNewClockWindow) {
            m_openNewClockWindow(id);
        }
    });
    layout->addWidget(row.open, 0, Qt::AlignVCenter);

    row.remove = makeIconButton(Symbol::trash, tr("Remove Clock"));
    // Deferred: the click handler must not destroy its own button while it runs.
    connect(
        row.remove, &QPushButton::clicked, this, [this, id] { removeClock(id); }, Qt::QueuedConnection);
    layout->addWidget(row.remove, 0, Qt::AlignVCenter);
    return row;
}

void PreferencesView::hideEvent(QHideEvent* event) {
    m_colorPanel->close();
    // Undo lasts as long as the settings window is open; minimising does not close it.
    if (!event->spontaneous() && !m_removed.empty()) {
        m_removed.clear();
        updateUndoBar();
        if (m_hooks.forgetRemoved) {
            m_hooks.forgetRemoved();
        }
    }
    QWidget::hideEvent(event);
}

} // namespace tavix
