#include "timecodeclockview.h"

#include "colorrules.h"
#include "fittedtext.h"
#include "timecode/timecoderuntime.h"
#include "timecode/timecoderuntimeholder.h"
#include "widgets/widgetstyle.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tavix {

TimecodeClockView::TimecodeClockView(ClockBinding clock, TimecodeRuntimeHolder* holder,
                                     TimecodeRuntime* runtime, QWidget* parent)
    : QWidget(parent), m_clock(std::move(clock)), m_holder(holder), m_runtime(runtime),
      m_display(new FittedText(this)), m_hold(new ProminentButton(tr("HOLD"), this)),
      m_holdOpacity(new QGraphicsOpacityEffect(m_hold)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(m_display, 1);
    auto* row = new QHBoxLayout;
    row->setSpacing(16);
    row->setContentsMargins(0, 0, 0, 8);
    row->addStretch();
    row->addWidget(m_hold);
    row->addStretch();
    layout->addLayout(row);

    // Room for NO LTC is kept under the digits all the time, so they never move when it shows.
    m_display->setCaptionRoom(true);
    m_hold->setFocusPolicy(Qt::NoFocus);
    m_hold->setGraphicsEffect(m_holdOpacity);
    connect(m_hold, &QPushButton::clicked, this, [this] {
        if (m_runtime) {
            m_runtime->setHoldEnabled(!m_runtime->holdEnabled());
        }
    });
    if (m_runtime) {
        connect(m_runtime, &TimecodeRuntime::changed, this, &TimecodeClockView::refresh);
    }
    if (AppState* state = m_clock.appState()) {
        connect(state, &AppState::clockChanged, this, [this](const QUuid& id) {
            if (id == m_clock.clockID()) {
                onClocksChanged();
            }
        });
        connect(state, &AppState::clockListChanged, this, &TimecodeClockView::onClocksChanged);
    }
    refresh();
}

TimecodeClockView::~TimecodeClockView() {
    // Removing the view from a window that stays open must stop the input as hiding it does.
    if (m_shown && m_holder) {
        m_holder->disappear();
    }
}

qreal TimecodeClockView::holdOpacity() const {
    return m_holdOpacity->opacity();
}

void TimecodeClockView::setDisplayInset(int inset) {
    m_display->setInset(inset);
}

void TimecodeClockView::refresh() {
    const ClockModel clock = m_clock.read();
    const QColor text = toQColor(clock.foregroundColor);
    QColor digits = text;
    if (m_runtime) {
        m_display->setText(m_runtime->displayString());
        m_holdOpacity->setOpacity(m_runtime->holdEnabled() ? 1.0 : 0.8);
        // The last time stays readable but steps back; the words say why.
        const bool noTimecode = m_runtime->showsNoTimecode();
        if (noTimecode) {
            digits.setAlphaF(static_cast<float>(digits.alphaF() * kDimmedOpacity)); // QColor keeps a float
        }
        m_display->setCaption(noTimecode ? QStringLiteral("NO LTC") : QString(), text);
    }
    m_display->setColor(digits);
    if (!m_styled || !(clock.backgroundColor == m_lastBackground)) {
        m_styled = true;
        m_lastBackground = clock.backgroundColor;
        m_hold->setTint(toQColor(controlTint(clock.backgroundColor)));
    }
}

void TimecodeClockView::onClocksChanged() {
    refresh();
    if (!m_shown || !m_holder) {
        return;
    }
    // An absent record counts as the default, so storing the default on appear restarts nothing.
    const std::optional<TimecodeSettings> settings = m_clock.read().timecode;
    const TimecodeSettings effective = settings.value_or(TimecodeRuntimeHolder::defaultSettings());
    if (effective != m_settings) {
        m_settings = effective;
        m_holder->settingsChanged(settings);
    }
}

void TimecodeClockView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Minimising is not leaving the screen: the input keeps running like the window's ticks.
    if (event->spontaneous() || m_shown) {
        return;
    }
    m_shown = true;
    m_settings = m_clock.read().timecode.value_or(TimecodeRuntimeHolder::defaultSettings());
    if (m_holder && m_clock.appState()) {
        m_holder->appear(*m_clock.appState(), m_clock.clockID());
    }
}

void TimecodeClockView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous() || !m_shown) {
        return;
    }
    m_shown = false;
    if (m_holder) {
        m_holder->disappear();
    }
}

} // namespace tavix
