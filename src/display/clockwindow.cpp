#include "clockwindow.h"

#include "colorrules.h"
#include "editors/clocksettingspopover.h"
#include "editors/popover.h"
#include "fittedtext.h"
#include "moderules.h"
#include "runningtimers.h"
#include "symbols.h"
#include "tickengine.h"
#include "timecode/timecoderuntimeholder.h"
#include "timecodeclockview.h"
#include "widgetstyle.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

constexpr int kSymbolSize = 18;
// Inside the outline the text keeps clear of the stroke by this much.
constexpr int kDisplayPadding = 16;

// A window of opacity 0 (or not a number) from a hand-edited file could never be found again.
qreal windowOpacityFor(double opacity) {
    if (!std::isfinite(opacity)) {
        return 1.0;
    }
    return std::clamp(opacity, 0.1, 1.0);
}

} // namespace

ClockWindow::ClockWindow(RunningTimers& timers, TickScheduler& ticks, const QUuid& clockID,
                         AudioBackend* audio, QWidget* parent)
    : QWidget(parent, Qt::Window), m_clock(&timers.appState(), clockID), m_audio(audio),
      m_engine(new TickEngine(m_clock, timers, ticks, this)),
      m_holder(new TimecodeRuntimeHolder(audio, this)), m_modeSymbol(new QLabel(this)),
      m_settingsButton(new QToolButton(this)), m_displayArea(new QWidget(this)),
      m_display(new FittedText(m_displayArea)), m_message(new QLabel(m_displayArea)),
      m_controls(new QWidget(this)), m_startPause(new QPushButton(tr("Start"), m_controls)),
      m_reset(new QPushButton(tr("Reset"), m_controls)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    setWindowIcon(applicationIcon());
    // The clock's own record decides where the window goes and how big it is.
    setAttribute(Qt::WA_DeleteOnClose);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(8, 4, 8, 8);
    root->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(6, 0, 0, 0);
    m_modeSymbol->setFixedSize(kSymbolSize, kSymbolSize);
    m_settingsButton->setAutoRaise(true);
    m_settingsButton->setFixedSize(26, 26);
    m_settingsButton->setIconSize(QSize(kSymbolSize, kSymbolSize));
    m_settingsButton->setFocusPolicy(Qt::NoFocus);
    m_settingsButton->setToolTip(settingsSymbol().helpText);
    m_settingsButton->setAccessibleName(settingsSymbol().helpText);
    header->addWidget(m_modeSymbol);
    header->addStretch();
    header->addWidget(m_settingsButton);
    root->addLayout(header);

    auto* displayLayout = new QVBoxLayout(m_displayArea);
    displayLayout->setContentsMargins(kDisplayPadding, kDisplayPadding, kDisplayPadding, kDisplayPadding);
    displayLayout->addWidget(m_display);
    displayLayout->addWidget(m_message);
    m_message->setAlignment(Qt::AlignCenter);
    QFont titleFont = m_message->font();
    titleFont.setPixelSize(22);
    titleFont.setBold(true);
    m_message->setFont(titleFont);
    m_message->hide();
    root->addWidget(m_displayArea, 1);

    auto* controls = new QHBoxLayout(m_controls);
    controls->setContentsMargins(0, 8, 0, 0);
    controls->setSpacing(16);
    controls->addStretch();
    controls->addWidget(m_startPause);
    controls->addWidget(m_reset);
    controls->addStretch();
    root->addWidget(m_controls);
    for (QPushButton* button : {m_startPause, m_reset}) {
        button->setFocusPolicy(Qt::TabFocus);
    }

    connect(m_settingsButton, &QToolButton::clicked, this, &ClockWindow::toggleSettings);
    connect(m_startPause, &QPushButton::clicked, m_engine, &TickEngine::startPause);
    connect(m_reset, &QPushButton::clicked, m_engine, &TickEngine::reset);
    connect(m_engine, &TickEngine::ticked, this, [this] { refresh(true); });
    AppState* state = &timers.appState();
    connect(state, &AppState::clockChanged, this, [this](const QUuid& id) {
        if (id == m_clock.clockID()) {
            refresh(false);
        }
    });
    connect(state, &AppState::clockListChanged, this, [this] { refresh(false); });
    refresh(true);
}

ClockWindow::~ClockWindow() {
    if (m_popover) {
        m_popover->close();
    }
}

const QUuid& ClockWindow::clockID() const {
    return m_clock.clockID();
}

QRect ClockWindow::outlineRect() const {
    return m_displayArea->geometry();
}

void ClockWindow::applyWindowSettings() {
    const ClockModel clock = m_clock.read();
    QString title = clock.name;
    // "[*]" is Qt's placeholder for the modified mark; doubled, it shows as typed.
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title);
    setWindowOpacity(windowOpacityFor(clock.opacity));
    const bool onTop = clock.alwaysOnTop;
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop) {
        Qt::WindowFlags flags = windowFlags();
        flags.setFlag(Qt::WindowStaysOnTopHint, onTop);
        if (QWindow* window = windowHandle()) {
            // Change the hint in place: re-creating the native window would unmap and move it.
            overrideWindowFlags(flags);
            window->setFlags(flags);
        } else {
            setWindowFlags(flags);
        }
    }
}

void ClockWindow::scheduleApplyWindowSettings() {
    QTimer::singleShot(0, this, &ClockWindow::applyWindowSettings);
}

void ClockWindow::toggleSettings() {
    if (m_popover) {
        m_popover->close();
        return;
    }
    auto* content = new ClockSettingsPopover(m_clock, m_holder->runtime(), 90, m_audio);
    m_popover = Popover::open(m_settingsButton, content);
    // The click that closes the popover on the button must not open it again at once.
    m_popover->setAttribute(Qt::WA_NoMouseReplay);
    connect(m_popover, &Popover::dismissed, this, [this] { m_popover = nullptr; });
    connect(content, &ClockSettingsPopover::dismissRequested, m_popover, &QWidget::close);
}

void ClockWindow::updateTint(const ClockModel& clock) {
    const QColor tint = toQColor(controlTint(clock.backgroundColor));
    if (tint == m_tint && m_symbolMode == clock.mode) {
        return;
    }
    const qreal dpr = devicePixelRatioF();
    QColor symbolColour = tint;
    symbolColour.setAlphaF(0.75f);
    if (tint != m_tint) {
        m_tint = tint;
        styleProminentButton(m_startPause, tint);
        styleProminentButton(m_reset, tint);
        m_settingsButton->setIcon(tintedPixmap(symbolIcon(settingsSymbol()), kSymbolSize, symbolColour, dpr));
        m_settingsButton->setStyleSheet(
            QStringLiteral("QToolButton { border: none; border-radius: 6px; background: transparent; }"
                           " QToolButton:hover { background: rgba(%1, %1, %1, 40); }")
                .arg(tint.red()));
        m_symbolMode.reset();
    }
    const Symbol symbol = modeSymbol(clock.mode);
    m_modeSymbol->setPixmap(tintedPixmap(symbolIcon(symbol), kSymbolSize, symbolColour, dpr));
    m_modeSymbol->setToolTip(symbol.helpText);
    m_modeSymbol->setAccessibleName(symbol.helpText);
    m_symbolMode = clock.mode;
}

void ClockWindow::showMode(const ClockModel& clock) {
    const bool timecode = clock.mode == ClockMode::timecode;
    if (timecode && !m_timecodeView) {
        m_timecodeView = new TimecodeClockView(m_clock, m_holder, m_holder->runtime(), m_displayArea);
        m_displayArea->layout()->addWidget(m_timecodeView);
        if (isVisible()) {
            m_timecodeView->show();
        }
    } else if (!timecode && m_timecodeView) {
        // Hiding first runs the view's disappear rule while the holder is certainly alive.
        m_timecodeView->hide();
        m_timecodeView->deleteLater();
        m_timecodeView = nullptr;
    }
    if (timecode) {
        m_display->hide();
        m_message->hide();
        return;
    }
    const DisplayContent content = displayContent(clock, m_engine->now(), m_engine->flashVisible());
    const QColor textColour = toQColor(currentTextColor(clock, m_engine->now()));
    if (content.isMessage) {
        m_message->setText(content.text);
        m_message->setStyleSheet(QStringLiteral("color: %1;").arg(textColour.name(QColor::HexArgb)));
        m_display->hide();
        m_message->show();
    } else {
        m_display->setText(content.text);
        m_display->setColor(textColour);
        m_display->setTextVisible(content.visible);
        m_message->hide();
        m_display->show();
    }
}

void ClockWindow::refresh(bool ticked) {
    if (m_refreshing) {
        return;
    }
    ClockModel clock = m_engine->shownClock();
    if (!ticked && m_haveLast && clock == m_last) {
        return; // nothing that shows changed
    }
    m_refreshing = true;
    if (clock.mode == ClockMode::stopwatch && !clock.stopwatch) {
        m_engine->currentStopwatch();
        clock = m_engine->shownClock();
    }
    const bool windowSettingsChanged = !m_haveLast || clock.name != m_last.name ||
                                       clock.opacity != m_last.opacity ||
                                       clock.alwaysOnTop != m_last.alwaysOnTop;

    updateTint(clock);
    showMode(clock);

    const bool counting =
        (clock.mode == ClockMode::countdown && clock.countdown) || clock.mode == ClockMode::stopwatch;
    m_controls->setVisible(counting);
    if (counting) {
        const bool running = clock.mode == ClockMode::countdown
                                 ? clock.countdown->isRunning
                                 : clock.stopwatch && clock.stopwatch->isRunning;
        m_startPause->setText(running ? tr("Pause") : tr("Start"));
    }

    const QColor background = toQColor(clock.backgroundColor);
    const QColor outline = toQColor(currentOutlineColor(clock, m_engine->now()));
    if (background != m_backgroundColor || outline != m_outlineColor) {
        m_backgroundColor = background;
        m_outlineColor = outline;
        update();
    }
    m_last = clock;
    m_haveLast = true;
    m_refreshing = false;
    if (windowSettingsChanged) {
        scheduleApplyWindowSettings();
    }
}

void ClockWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    // The clock's background replaces what is there, alpha included: the window is translucent.
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& area : event->region()) {
        painter.fillRect(area, m_backgroundColor);
    }
    // A tick repaints a few digits well inside the outline: only a repaint that reaches the
    // stroke (or a corner, where it curves inward) draws it.
    const QRect dirty = event->region().boundingRect();
    const QRect outline = outlineRect();
    const bool clearOfStroke =
        outline.adjusted(kOutlineWidth, kOutlineRadius, -kOutlineWidth, -kOutlineRadius).contains(dirty) ||
        outline.adjusted(kOutlineRadius, kOutlineWidth, -kOutlineRadius, -kOutlineWidth).contains(dirty);
    if (clearOfStroke) {
        return;
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRegion(event->region());
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal half = kOutlineWidth / 2.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(outline).adjusted(half, half, -half, -half), kOutlineRadius - half,
                        kOutlineRadius - half);
    painter.setPen(QPen(m_outlineColor, kOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void ClockWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the taskbar is not coming on screen anew: the ticks never stopped.
    if (event->spontaneous() || m_shown) {
        return;
    }
    m_shown = true;
    m_engine->startTicking();
    refresh(true);
    scheduleApplyWindowSettings();
}

void ClockWindow::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous() || !m_shown) {
        return;
    }
    m_shown = false;
    m_engine->stopTicking();
}

void ClockWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Q_EMIT frameChanged();
}

void ClockWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Q_EMIT frameChanged();
}

void ClockWindow::closeEvent(QCloseEvent* event) {
    Q_EMIT closing();
    if (m_popover) {
        m_popover->close();
    }
    QWidget::closeEvent(event);
}

} // namespace tavix
