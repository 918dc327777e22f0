#include "clocksettingspopover.h"

#include "clocknamevalidator.h"
#include "colorpanel.h"
#include "colorwell.h"
#include "countdownsettingseditor.h"
#include "editorstyle.h"
#include "modebindings.h"
#include "settingstext.h"
#include "stagesettingssection.h"
#include "stepper.h"
#include "timecodesettingseditor.h"
#include "timeuntilsettingseditor.h"
#include "toggle.h"

#include "timecode/timecoderuntime.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace tavix {

namespace {

constexpr int kPopoverWidth = 380;

// A label row of the panel: 2 px of extra space above and below.
QWidget* panelRow(const QString& label, double labelWidth, QLayout* controls) {
    return makeLabelRow(label, labelWidth, controls, true, 2);
}

QHBoxLayout* singleControl(QWidget* control) {
    QHBoxLayout* row = makeControlsRow(0);
    row->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

Binding<ColorValue> clockColorBinding(const ClockBinding& clock, ColorValue ClockModel::*field) {
    return {[clock, field] { return clock.read().*field; },
            [clock, field](const ColorValue& value) {
                ClockModel model = clock.read();
                model.*field = value;
                clock.write(model);
            }};
}

} // namespace

ClockSettingsPopover::ClockSettingsPopover(ClockBinding clock, TimecodeRuntime* timecodeRuntime,
                                           double labelWidth, AudioBackend* audio, QWidget* parent)
    : QWidget(parent), m_clock(std::move(clock)), m_timecodeRuntime(timecodeRuntime),
      m_labelWidth(labelWidth), m_audio(audio), m_colorPanel(new ColorPanel(this)) {
    applyEditorLook(this);
    setFixedWidth(kPopoverWidth);
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(12, 12, 12, 12);
    m_layout->setSpacing(14);

    m_name = new QLineEdit;
    m_name->setValidator(new ClockNameValidator(m_name));
    m_name->setMinimumWidth(160);
    styleTextBox(m_name);
    m_name->setAccessibleName(tr("Name"));
    connect(m_name, &QLineEdit::textEdited, this,
            [this](const QString& text) { writeClock([&text](ClockModel& c) { c.name = text; }); });
    m_layout->addWidget(panelRow(tr("Name"), labelWidth, singleControl(m_name)));

    m_type = new QComboBox;
    for (ClockMode mode : allClockModes()) {
        m_type->addItem(modeMenuTitle(mode), static_cast<int>(mode));
    }
    m_type->setAccessibleName(tr("Type"));
    connect(m_type, &QComboBox::activated, this, [this](int index) {
        const auto mode = static_cast<ClockMode>(m_type->itemData(index).toInt());
        writeClock([mode](ClockModel& c) { c.mode = mode; });
    });
    m_layout->addWidget(panelRow(tr("Type"), labelWidth, singleControl(m_type)));

    m_wells = {new ColorWell(tr("BG"), tr("Background"),
                             clockColorBinding(m_clock, &ClockModel::backgroundColor), m_colorPanel),
               new ColorWell(tr("Text"), tr("Text colour"),
                             clockColorBinding(m_clock, &ClockModel::foregroundColor), m_colorPanel),
               new ColorWell(tr("Outline"), tr("Outline colour"),
                             clockColorBinding(m_clock, &ClockModel::outlineColor), m_colorPanel)};
    m_layout->addWidget(
        panelRow(tr("Colour"), labelWidth, makeWellsRow({m_wells.begin(), m_wells.end()}, 10)));

    m_opacity = new QSlider(Qt::Horizontal);
    m_opacity->setRange(sliderPositionForOpacity(0.1), sliderPositionForOpacity(1.0));
    m_opacity->setSingleStep(1);
    m_opacity->setPageStep(2);
    m_opacity->setMinimumWidth(150);
    m_opacity->setAccessibleName(tr("Opacity"));
    connect(m_opacity, &QSlider::valueChanged, this, [this](int position) {
        if (!m_refreshing) {
            writeClock([position](ClockModel& c) { c.opacity = opacityForSliderPosition(position); });
        }
    });
    m_opacityText = makeSecondaryLabel(QString(), bodyFont());
    m_opacityText->setFixedWidth(44);
    m_opacityText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QHBoxLayout* opacityRow = makeControlsRow(8);
    opacityRow->addWidget(m_opacity, 1, Qt::AlignVCenter);
    opacityRow->addWidget(m_opacityText, 0, Qt::AlignVCenter);
    m_layout->addWidget(panelRow(tr("Opacity"), labelWidth, opacityRow));

    m_alwaysOnTop = new Toggle(tr("Always on Top"));
    connect(m_alwaysOnTop, &Toggle::clicked, this,
            [this](bool on) { writeClock([on](ClockModel& c) { c.alwaysOnTop = on; }); });
    m_layout->addWidget(panelRow(tr("Window"), labelWidth, singleControl(m_alwaysOnTop)));
    m_layout->addWidget(new StageSettingsSection(m_clock, labelWidth));
    m_desktopNote = makeSecondaryLabel(QString(), captionFont());
    m_desktopNote->setWordWrap(true);
    m_desktopNote->setMaximumWidth(220);
    QWidget* noteRow = panelRow(QString(), labelWidth, singleControl(m_desktopNote));
    m_layout->addWidget(noteRow);
    noteRow->hide();

    auto* divider = new QWidget;
    auto* dividerLayout = new QVBoxLayout(divider);
    dividerLayout->setContentsMargins(0, 2, 0, 2);
    dividerLayout->addWidget(makeDivider());
    m_layout->addWidget(divider);

    if (AppState* state = m_clock.appState()) {
        connect(state, &AppState::clocksChanged, this, &ClockSettingsPopover::refresh);
    }
    m_shownMode = m_clock.read().mode;
    rebuildModeSection();
    refresh();
}

ClockSettingsPopover::~ClockSettingsPopover() = default;

void ClockSettingsPopover::setDesktop(const DesktopCapabilities& desktop) {
    // The setting stays available: it is kept, and honoured again on a desktop that can.
    QStringList notes;
    if (!desktop.keepsWindowsOnTop) {
        notes.append(tr("Your desktop does not let apps keep windows on top"));
    }
    if (!desktop.placesWindows) {
        notes.append(tr("Your desktop chooses where windows open, so clocks may not reopen where they were"));
    }
    m_desktopNote->setText(notes.join(QLatin1Char('\n')));
    m_desktopNote->parentWidget()->setVisible(!notes.isEmpty());
}

int ClockSettingsPopover::sliderPositionForOpacity(double opacity) {
    if (!std::isfinite(opacity)) {
        return 20;
    }
    return static_cast<int>(std::lround(std::clamp(opacity, 0.1, 1.0) * 20));
}

double ClockSettingsPopover::opacityForSliderPosition(int position) {
    // Twentieths rather than repeated 0.05 steps: each value is the double nearest its percentage.
    return position / 20.0;
}

void ClockSettingsPopover::writeClock(const std::function<void(ClockModel&)>& change) {
    ClockModel clock = m_clock.read();
    change(clock);
    m_clock.write(clock);
}

void ClockSettingsPopover::refresh() {
    if (m_refreshing) {
        return;
    }
    const ClockModel clock = m_clock.read();
    if (clock.mode != m_shownMode) {
        m_shownMode = clock.mode;
        rebuildModeSection();
    }
    m_refreshing = true;
    if (m_name->text() != clock.name) {
        // Rewriting the text moves the caret; only do it for a change made elsewhere.
        m_name->setText(clock.name);
    }
    const int typeIndex = m_type->findData(static_cast<int>(clock.mode));
    if (m_type->currentIndex() != typeIndex) {
        m_type->setCurrentIndex(typeIndex);
    }
    for (ColorWell* well : m_wells) {
        well->refresh();
    }
    m_opacity->setValue(sliderPositionForOpacity(clock.opacity));
    m_opacityText->setText(percentageText(clock.opacity));
    m_alwaysOnTop->setChecked(clock.alwaysOnTop);
    if (m_refreshModeSection) {
        m_refreshModeSection();
    }
    m_refreshing = false;
}

void ClockSettingsPopover::rebuildModeSection() {
    // The colour dialog may be editing a well of the section that goes away.
    m_colorPanel->close();
    m_refreshModeSection = nullptr;
    m_offsetBox = nullptr;
    m_offsetStepper = nullptr;
    m_hourCycle = nullptr;
    m_hideSeconds = nullptr;
    m_stopwatchTenths = nullptr;
    if (m_modeSection) {
        m_layout->removeWidget(m_modeSection);
        m_modeSection->hide();
        m_modeSection->deleteLater();
        m_modeSection = nullptr;
    }

    const bool wasRefreshing = m_refreshing;
    // Creating a missing settings record below writes the clock; that change must not rebuild again.
    m_refreshing = true;
    switch (m_shownMode) {
    case ClockMode::clock:
        m_modeSection = makeWallClockSection();
        break;
    case ClockMode::countdown: {
        const Binding<CountdownSettings> binding = countdownSettingsBinding(m_clock);
        binding.get();
        auto* editor = new CountdownSettingsEditor(binding, m_labelWidth, m_colorPanel);
        m_refreshModeSection = [editor] { editor->refresh(); };
        m_modeSection = editor;
        break;
    }
    case ClockMode::stopwatch: {
        const Binding<StopwatchSettings> binding = stopwatchSettingsBinding(m_clock);
        binding.get();
        m_stopwatchTenths = new Toggle(tr("Tenths of a second"));
        connect(m_stopwatchTenths, &Toggle::clicked, this, [binding](bool on) {
            StopwatchSettings settings = binding.get();
            settings.showTenths = on;
            binding.set(settings);
        });
        Toggle* tenths = m_stopwatchTenths;
        m_refreshModeSection = [tenths, binding] { tenths->setChecked(binding.get().showTenths); };
        m_refreshModeSection();
        m_modeSection = panelRow(tr("Stopwatch"), m_labelWidth, singleControl(tenths));
        break;
    }
    case ClockMode::timecode:
        if (!m_timecodeRuntime) {
            m_modeSection =
                panelRow(tr("Timecode"), m_labelWidth,
                         singleControl(makeSecondaryLabel(tr("No input available"), captionFont())));
        } else {
            const Binding<TimecodeSettings> binding = timecodeSettingsBinding(m_clock);
            binding.get();
            auto* editor = new TimecodeSettingsEditor(binding, m_timecodeRuntime, m_audio, m_labelWidth);
            connect(editor, &TimecodeSettingsEditor::dismissRequested, this,
                    &ClockSettingsPopover::dismissRequested);
            m_modeSection = editor;
        }
        break;
    case ClockMode::timeUntil: {
        const Binding<TimeUntilSettings> binding = timeUntilSettingsBinding(m_clock);
        binding.get();
        auto* editor = new TimeUntilSettingsEditor(binding, m_labelWidth, m_colorPanel);
        m_refreshModeSection = [editor] { editor->refresh(); };
        m_modeSection = editor;
        break;
    }
    }
    m_refreshing = wasRefreshing;
    m_layout->addWidget(m_modeSection);
    rebuildAdjustRow();
}

void ClockSettingsPopover::setNudge(std::function<void(double)> nudge) {
    m_nudge = std::move(nudge);
    rebuildAdjustRow();
}

void ClockSettingsPopover::rebuildAdjustRow() {
    if (m_adjustRow) {
        m_layout->removeWidget(m_adjustRow);
        m_adjustRow->hide();
        m_adjustRow->deleteLater();
        m_adjustRow = nullptr;
        m_minuteDown = nullptr;
        m_minuteUp = nullptr;
    }
    if (!m_nudge || m_shownMode != ClockMode::countdown) {
        return;
    }
    // Live adjustment of the running (or paused) countdown; the Start value stays as it is.
    m_minuteDown = new QPushButton(tr("−1 min"));
    m_minuteUp = new QPushButton(tr("+1 min"));
    m_minuteDown->setToolTip(tr("Take a minute off the time left"));
    m_minuteUp->setToolTip(tr("Add a minute to the time left"));
    connect(m_minuteDown, &QPushButton::clicked, this, [this] { m_nudge(-60); });
    connect(m_minuteUp, &QPushButton::clicked, this, [this] { m_nudge(60); });
    QHBoxLayout* controls = makeControlsRow(8);
    controls->addWidget(m_minuteDown, 0, Qt::AlignVCenter);
    controls->addWidget(m_minuteUp, 0, Qt::AlignVCenter);
    m_adjustRow = panelRow(tr("Adjust"), m_labelWidth, controls);
    m_layout->insertWidget(m_layout->indexOf(m_modeSection), m_adjustRow);
}

QWidget* ClockSettingsPopover::makeOffsetSection() {
    m_offsetBox = new QLineEdit;
    m_offsetBox->setMinimumWidth(70);
    styleTextBox(m_offsetBox);
    m_offsetBox->setMaximumWidth(90);
    m_offsetBox->setFont(monospacedBodyFont());
    m_offsetBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_offsetBox->setAccessibleName(tr("Offset"));
    m_offsetStepper = new Stepper;

    QLineEdit* box = m_offsetBox;
    // Each edit is parsed and stored at once; the typed text stays as it is while the box has the
    // focus and is shown in its normal form afterwards.
    connect(box, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_writingOffsetText = true;
        writeClock([&text](ClockModel& c) { c.timeZoneOffset = parseOffsetText(text); });
        m_writingOffsetText = false;
    });
    connect(box, &QLineEdit::editingFinished, this,
            [this, box] { box->setText(offsetText(m_clock.read().timeZoneOffset)); });
    connect(m_offsetStepper, &Stepper::stepped, this, [this, box](int delta) {
        const double offset = steppedOffset(m_clock.read().timeZoneOffset, delta);
        writeClock([offset](ClockModel& c) { c.timeZoneOffset = offset; });
        box->setText(offsetText(offset));
    });
    m_refreshModeSection = [this, box] {
        if (!m_writingOffsetText && !box->hasFocus()) {
            const QString text = offsetText(m_clock.read().timeZoneOffset);
            if (box->text() != text) {
                box->setText(text);
            }
        }
    };
    box->setText(offsetText(m_clock.read().timeZoneOffset));

    QHBoxLayout* controls = makeControlsRow(8);
    controls->addWidget(box, 0, Qt::AlignVCenter);
    controls->addWidget(m_offsetStepper, 0, Qt::AlignVCenter);
    return panelRow(tr("Offset"), m_labelWidth, controls);
}

QWidget* ClockSettingsPopover::makeWallClockSection() {
    auto* section = new QWidget;
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(14);
    layout->addWidget(makeOffsetSection());
    const std::function<void()> refreshOffset = m_refreshModeSection;

    m_hourCycle = new QComboBox;
    m_hourCycle->addItem(tr("As the language has it"));
    m_hourCycle->addItem(tr("12-hour"));
    m_hourCycle->addItem(tr("24-hour"));
    m_hourCycle->setAccessibleName(tr("Hours"));
    connect(m_hourCycle, &QComboBox::activated, this, [this](int index) {
        writeClock([index](ClockModel& c) {
            c.use24HourTime = index == 0 ? std::nullopt : std::optional<bool>(index == 2);
        });
    });
    layout->addWidget(panelRow(tr("Hours"), m_labelWidth, singleControl(m_hourCycle)));

    m_hideSeconds = new Toggle(tr("Hide seconds"));
    connect(m_hideSeconds, &Toggle::clicked, this,
            [this](bool on) { writeClock([on](ClockModel& c) { c.hideSeconds = on; }); });
    layout->addWidget(panelRow(QString(), m_labelWidth, singleControl(m_hideSeconds)));

    QComboBox* hours = m_hourCycle;
    Toggle* hideSeconds = m_hideSeconds;
    m_refreshModeSection = [this, refreshOffset, hours, hideSeconds] {
        refreshOffset();
        const ClockModel clock = m_clock.read();
        hours->setCurrentIndex(!clock.use24HourTime ? 0 : (*clock.use24HourTime ? 2 : 1));
        hideSeconds->setChecked(clock.hideSeconds);
    };
    m_refreshModeSection();
    return section;
}

void ClockSettingsPopover::hideEvent(QHideEvent* event) {
    m_colorPanel->close();
    QWidget::hideEvent(event);
}

} // namespace tavix
