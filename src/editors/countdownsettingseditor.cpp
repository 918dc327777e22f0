#include "countdownsettingseditor.h"

#include "colorwell.h"
#include "editorstyle.h"
#include "timefieldeditor.h"
#include "toggle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tavix {

namespace {

constexpr IntRange kHours{0, 99};
constexpr IntRange kMinutesOrSeconds{0, 59};
// The flash menu's last entry turns the flash off.
constexpr int kFlashOff = 2;

} // namespace

CountdownSettingsEditor::CountdownSettingsEditor(Binding<CountdownSettings> countdown, double labelWidth,
                                                 ColorPanel* colorPanel, QWidget* parent)
    : QWidget(parent), m_countdown(std::move(countdown)) {
    QVBoxLayout* layout = makeSectionLayout(this);

    // A paused countdown shows its start value, so a new start must reach `remaining` too; a running
    // one keeps counting from where it is.
    const Binding<CountdownSettings> record = m_countdown;
    const auto startCommitted = [record] {
        CountdownSettings settings = record.get();
        if (!settings.isRunning && settings.remaining != settings.duration) {
            settings.remaining = settings.duration;
            record.set(settings);
        }
    };
    using C = CountdownSettings;
    m_startFields = {
        new TimeFieldEditor(tr("H"), accessorBinding(record, &C::durationHours, &C::setDurationHours), kHours,
                            startCommitted),
        new TimeFieldEditor(tr("M"), accessorBinding(record, &C::durationMinutes, &C::setDurationMinutes),
                            kMinutesOrSeconds, startCommitted),
        new TimeFieldEditor(tr("S"), accessorBinding(record, &C::durationSeconds, &C::setDurationSeconds),
                            kMinutesOrSeconds, startCommitted)};
    m_warningFields = {
        new TimeFieldEditor(tr("H"), accessorBinding(record, &C::warningTimeHours, &C::setWarningTimeHours),
                            kHours),
        new TimeFieldEditor(tr("M"),
                            accessorBinding(record, &C::warningTimeMinutes, &C::setWarningTimeMinutes),
                            kMinutesOrSeconds),
        new TimeFieldEditor(tr("S"),
                            accessorBinding(record, &C::warningTimeSeconds, &C::setWarningTimeSeconds),
                            kMinutesOrSeconds)};

    QHBoxLayout* start = makeControlsRow(8);
    for (TimeFieldEditor* field : m_startFields) {
        start->addWidget(field, 0, Qt::AlignVCenter);
    }
    layout->addWidget(makeLabelRow(tr("Start"), labelWidth, start, true, 0));
    layout->addWidget(
        makeHelpLine(tr("If paused, editing Start updates the live remaining time."), labelWidth));

    QHBoxLayout* warning = makeControlsRow(8);
    for (TimeFieldEditor* field : m_warningFields) {
        warning->addWidget(field, 0, Qt::AlignVCenter);
    }
    layout->addWidget(makeLabelRow(tr("Warn At"), labelWidth, warning, true, 0));
    layout->addWidget(makeHelpLine(tr("At or under this time, show warning colours."), labelWidth));

    m_wells = {new ColorWell(tr("Text"), tr("Warning text colour"),
                             memberBinding(record, &C::warningForegroundColor), colorPanel),
               new ColorWell(tr("Outline"), tr("Warning outline colour"),
                             memberBinding(record, &C::warningOutlineColor), colorPanel)};
    layout->addWidget(
        makeLabelRow(tr("Colour"), labelWidth, makeWellsRow({m_wells.begin(), m_wells.end()}), true, 0));

    // Until chosen, overtime keeps the warning colours.
    const auto overtimeColor = [record](std::optional<ColorValue> C::*field, ColorValue (C::*shown)() const) {
        return Binding<ColorValue>{[record, shown] { return (record.get().*shown)(); },
                                   [record, field](const ColorValue& value) {
                                       CountdownSettings settings = record.get();
                                       settings.*field = value;
                                       record.set(settings);
                                   }};
    };
    m_overtimeWells = {
        new ColorWell(tr("Text"), tr("Overtime text colour"),
                      overtimeColor(&C::overtimeForegroundColor, &C::overtimeForeground), colorPanel),
        new ColorWell(tr("Outline"), tr("Overtime outline colour"),
                      overtimeColor(&C::overtimeOutlineColor, &C::overtimeOutline), colorPanel)};
    layout->addWidget(makeLabelRow(tr("Overtime"), labelWidth,
                                   makeWellsRow({m_overtimeWells.begin(), m_overtimeWells.end()}), true, 0));

    m_flashStyle = new QComboBox;
    m_flashStyle->addItem(tr("Text"));
    m_flashStyle->addItem(tr("Outline and background"));
    m_flashStyle->addItem(tr("Off"));
    m_flashStyle->setAccessibleName(tr("Overtime flash"));
    connect(m_flashStyle, &QComboBox::activated, this, [record](int index) {
        CountdownSettings settings = record.get();
        settings.flashWhenDone = index != kFlashOff;
        if (index != kFlashOff) {
            settings.overtimeFlashStyle =
                index == 0 ? OvertimeFlashStyle::text : OvertimeFlashStyle::outlineAndBackground;
        }
        record.set(settings);
    });
    QHBoxLayout* flash = makeControlsRow(0);
    flash->addWidget(m_flashStyle);
    layout->addWidget(makeLabelRow(tr("Flash"), labelWidth, flash, true, 0));

    m_tenths = new Toggle(tr("Tenths in the last 10 s"));
    connect(m_tenths, &Toggle::clicked, this, [record](bool on) {
        CountdownSettings settings = record.get();
        settings.showTenths = on;
        record.set(settings);
    });
    QHBoxLayout* tenths = makeControlsRow(0);
    tenths->addWidget(m_tenths);
    layout->addWidget(makeLabelRow(QString(), labelWidth, tenths, true, 0));

    refresh();
}

void CountdownSettingsEditor::refresh() {
    for (TimeFieldEditor* field : m_startFields) {
        field->refresh();
    }
    for (TimeFieldEditor* field : m_warningFields) {
        field->refresh();
    }
    for (ColorWell* well : m_wells) {
        well->refresh();
    }
    for (ColorWell* well : m_overtimeWells) {
        well->refresh();
    }
    const CountdownSettings settings = m_countdown.get();
    m_flashStyle->setCurrentIndex(!settings.flashWhenDone                                   ? kFlashOff
                                  : settings.overtimeFlashStyle == OvertimeFlashStyle::text ? 0
                                                                                            : 1);
    m_tenths->setChecked(settings.showTenths);
}

} // namespace tavix
