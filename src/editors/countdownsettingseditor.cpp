#include "countdownsettingseditor.h"

#include "colorwell.h"
#include "editorstyle.h"
#include "timefieldeditor.h"
#include "toggle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tavix {

namespace {

constexpr IntRange kHours{0, 99};
constexpr IntRange kMinutesOrSeconds{0, 59};

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

    m_flash = new Toggle(tr("Flash Overtime"));
    connect(m_flash, &Toggle::clicked, this, [record](bool on) {
        CountdownSettings settings = record.get();
        settings.flashWhenDone = on;
        record.set(settings);
    });
    QHBoxLayout* flash = makeControlsRow(0);
    flash->addWidget(m_flash);
    layout->addWidget(makeLabelRow(QString(), labelWidth, flash, true, 0));

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
    m_flash->setChecked(m_countdown.get().flashWhenDone);
}

} // namespace tavix
