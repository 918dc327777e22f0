#include "timeuntilsettingseditor.h"

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

constexpr IntRange kHourOfDay{0, 23};
constexpr IntRange kMinutesOrSeconds{0, 59};

} // namespace

TimeUntilSettingsEditor::TimeUntilSettingsEditor(Binding<TimeUntilSettings> settings, double labelWidth,
                                                 ColorPanel* colorPanel, QWidget* parent)
    : QWidget(parent), m_settings(std::move(settings)) {
    QVBoxLayout* layout = makeSectionLayout(this);
    const Binding<TimeUntilSettings> record = m_settings;
    using T = TimeUntilSettings;
    m_targetFields = {
        new TimeUntilFieldEditor(tr("H"), memberBinding(record, &T::targetHour), kHourOfDay),
        new TimeUntilFieldEditor(tr("M"), memberBinding(record, &T::targetMinute), kMinutesOrSeconds),
        new TimeUntilFieldEditor(tr("S"), memberBinding(record, &T::targetSecond), kMinutesOrSeconds)};
    QHBoxLayout* target = makeControlsRow(8);
    for (TimeFieldEditor* field : m_targetFields) {
        target->addWidget(field, 0, Qt::AlignVCenter);
    }
    layout->addWidget(makeLabelRow(tr("Target"), labelWidth, target, true, 0));
    layout->addWidget(makeHelpLine(tr("Counts down to this time today, then goes negative."), labelWidth));

    m_wells = {new ColorWell(tr("Text"), tr("Text colour at target"),
                             memberBinding(record, &T::atTargetForegroundColor), colorPanel),
               new ColorWell(tr("Outline"), tr("Outline colour at target"),
                             memberBinding(record, &T::atTargetOutlineColor), colorPanel)};
    layout->addWidget(
        makeLabelRow(tr("Colour"), labelWidth, makeWellsRow({m_wells.begin(), m_wells.end()}), true, 0));

    m_flash = new Toggle(tr("Flash Overtime"));
    connect(m_flash, &Toggle::clicked, this, [record](bool on) {
        TimeUntilSettings settings = record.get();
        settings.flashAtTarget = on;
        record.set(settings);
    });
    QHBoxLayout* flash = makeControlsRow(0);
    flash->addWidget(m_flash);
    layout->addWidget(makeLabelRow(QString(), labelWidth, flash, true, 0));

    m_rollOver = new QComboBox;
    m_rollOver->addItem(tr("Never"));
    for (const int minutes : kRollOverMinutes) {
        m_rollOver->addItem(minutes == 0   ? tr("Right after the target")
                            : minutes < 60 ? tr("%n min after the target", nullptr, minutes)
                                           : tr("%n h after the target", nullptr, minutes / 60),
                            minutes * 60.0);
    }
    m_rollOver->setAccessibleName(tr("Count to tomorrow"));
    connect(m_rollOver, &QComboBox::activated, this, [this, record](int index) {
        TimeUntilSettings settings = record.get();
        settings.rollOverAfter =
            index == 0 ? std::nullopt : std::optional<double>(m_rollOver->itemData(index).toDouble());
        record.set(settings);
    });
    QHBoxLayout* rollOver = makeControlsRow(0);
    rollOver->addWidget(m_rollOver);
    layout->addWidget(makeLabelRow(tr("Tomorrow"), labelWidth, rollOver, true, 0));
    layout->addWidget(makeHelpLine(tr("Once the target is this far past, count to tomorrow's."), labelWidth));

    refresh();
}

void TimeUntilSettingsEditor::refresh() {
    for (TimeFieldEditor* field : m_targetFields) {
        field->refresh();
    }
    for (ColorWell* well : m_wells) {
        well->refresh();
    }
    const TimeUntilSettings settings = m_settings.get();
    m_flash->setChecked(settings.flashAtTarget);
    int index = 0;
    if (settings.rollOverAfter) {
        index = m_rollOver->findData(*settings.rollOverAfter);
        if (index < 0) {
            // A grace the menu does not list (a hand-edited file) is shown as an entry of its own.
            m_rollOver->addItem(
                tr("%n s after the target", nullptr, static_cast<int>(*settings.rollOverAfter)),
                *settings.rollOverAfter);
            index = m_rollOver->count() - 1;
        }
    }
    m_rollOver->setCurrentIndex(index);
}

} // namespace tavix
