#include "clockwindow.h"

#include "colorrules.h"
#include "digitrules.h"
#include "editors/clocksettingspopover.h"
#include "editors/popover.h"
#include "fittedtext.h"
#include "moderules.h"
#include "runningtimers.h"
#include "tickengine.h"
#include "timerundo.h"
#include "timecode/timecoderuntimeholder.h"
#include "timecodeclockview.h"
#include "widgets/symbols.h"
#include "widgets/widgetstyle.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace tavix {

namespace {

// Through the palette rather than a style sheet, which would give the label a style of its own.
void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    if (palette.color(QPalette::WindowText) != colour) {
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}

constexpr int kSymbolSize = 18;
// Inside the outline the text keeps clear of the stroke by this much.
constexpr int kDisplayPadding = 16;
// The window's own margins around the display, floating and on a stage (where every pixel goes to
// the digits).
const QMargins kFloatingMargins(8, 4, 8, 8);
const QMargins kStageMargins(0, 0, 0, 0);
// The caption's height as a share of the window's: readable, yet leaving the digits their room.
constexpr double kCaptionShare = 0.07;
constexpr int kMinimumCaptionPixels = 11;

// How an operator's nudge reads in menus: "+1 min", "−10 s".
QString nudgeText(double seconds) {
    const QString sign = seconds < 0 ? QStringLiteral("\u2212") : QStringLiteral("+");
    const double size = std::abs(seconds);
    if (size >= 60 && std::fmod(size, 60) == 0) {
        return sign + QCoreApplication::translate("ClockWindow", "%1 min").arg(size / 60);
    }
    return sign + QCoreApplication::translate("ClockWindow", "%1 s").arg(size);
}

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
      m_holder(new TimecodeRuntimeHolder(audio, this)), m_undo(new TimerUndo(timers, clockID, this)),
      m_header(new QWidget(this)), m_modeSymbol(new QLabel(m_header)),
      m_settingsButton(new SymbolButton(m_header)), m_displayArea(new QWidget(this)),
      m_display(new FittedText(m_displayArea)), m_stageAction(new QAction(tr("Stage Mode"), this)),
      m_clickThroughAction(new QAction(tr("Click-Through"), this)),
      m_leaveStage(new QShortcut(QKeySequence(Qt::Key_Escape), this)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    // The application's icon serves every window from one set of rendered sizes; an icon of
    // its own per window would render and keep those sizes (87 KB) once per window.
    if (QGuiApplication::windowIcon().isNull()) {
        setWindowIcon(applicationIcon());
    }
    // The clock's own record decides where the window goes and how big it is.
    setAttribute(Qt::WA_DeleteOnClose);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // Activated with no button in focus, the window itself holds the focus, so its keys work.
    setFocusPolicy(Qt::ClickFocus);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(kFloatingMargins);
    root->setSpacing(4);

    auto* header = new QHBoxLayout(m_header);
    header->setContentsMargins(6, 0, 0, 0);
    m_modeSymbol->setFixedSize(kSymbolSize, kSymbolSize);
    m_settingsButton->setAutoRaise(true);
    m_settingsButton->setFixedSize(26, 26);
    m_settingsButton->setIconSize(QSize(kSymbolSize, kSymbolSize));
    m_settingsButton->setFocusPolicy(Qt::NoFocus);
    m_settingsButton->setToolTip(symbolHelpText(Symbol::settings));
    m_settingsButton->setAccessibleName(symbolHelpText(Symbol::settings));
    header->addWidget(m_modeSymbol);
    header->addStretch();
    header->addWidget(m_settingsButton);
    root->addWidget(m_header);

    auto* displayLayout = new QVBoxLayout(m_displayArea);
    displayLayout->setContentsMargins(kDisplayPadding, kDisplayPadding, kDisplayPadding, kDisplayPadding);
    displayLayout->addWidget(m_display);
    root->addWidget(m_displayArea, 1);

    connect(m_settingsButton, &QToolButton::clicked, this, &ClockWindow::toggleSettings);
    connect(m_undo, &TimerUndo::changed, this, &ClockWindow::updateUndoAction);
    connect(m_engine, &TickEngine::ticked, this, [this] { refresh(true); });
    AppState* state = &timers.appState();
    connect(state, &AppState::clockChanged, this, [this](const QUuid& id) {
        if (id == m_clock.clockID()) {
            refresh(false);
        }
    });
    connect(state, &AppState::clockListChanged, this, [this] { refresh(false); });
    // "Show overtime as +" is an application preference.
    connect(state, &AppState::settingsChanged, this, [this] { refresh(true); });

    m_stageAction->setCheckable(true);
    m_stageAction->setShortcut(QKeySequence(Qt::Key_F11));
    m_keys.append({m_stageAction, {QKeySequence(Qt::Key_F11)}});
    m_stageAction->setShortcutVisibleInContextMenu(true);
    connect(m_stageAction, &QAction::triggered, this,
            [this](bool on) { writeStage([on](StageSettings& s) { s.isActive = on; }); });
    m_clickThroughAction->setCheckable(true);
    connect(m_clickThroughAction, &QAction::triggered, this,
            [this](bool on) { writeStage([on](StageSettings& s) { s.clickThrough = on; }); });
    m_leaveStage->setEnabled(false);
    connect(m_leaveStage, &QShortcut::activated, this,
            [this] { writeStage([](StageSettings& s) { s.isActive = false; }); });
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addActions({m_stageAction, m_clickThroughAction, separator});
    // A screen that comes or goes may be the stage: follow the record to wherever it now points.
    const auto screensChanged = [this] {
        QTimer::singleShot(0, this, [this] {
            if (m_inStage) {
                applyStage(m_clock.read());
            }
        });
    };
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::screenAdded, this, screensChanged);
        connect(app, &QGuiApplication::screenRemoved, this, screensChanged);
    }
    refresh(true);
    registerKeys(false);
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

QScreen* ClockWindow::screenNamed(const std::optional<QString>& name) {
    if (name) {
        for (QScreen* screen : QGuiApplication::screens()) {
            if (screen->name() == *name) {
                return screen;
            }
        }
    }
    return QGuiApplication::primaryScreen();
}

void ClockWindow::writeStage(const std::function<void(StageSettings&)>& change) {
    ClockModel clock = m_clock.read();
    StageSettings stage = clock.stage.value_or(StageSettings{});
    change(stage);
    clock.stage = stage;
    m_clock.write(clock);
}

void ClockWindow::fillScreenMenu() {
    m_screenMenu->clear();
    qDeleteAll(m_screenMenu->findChildren<QActionGroup*>(Qt::FindDirectChildrenOnly));
    const StageSettings stage = m_clock.read().stage.value_or(StageSettings{});
    const QScreen* chosen = screenNamed(stage.screenName);
    auto* group = new QActionGroup(m_screenMenu);
    for (QScreen* screen : QGuiApplication::screens()) {
        const QString name = screen->name();
        const QSize size = screen->geometry().size();
        QAction* action = m_screenMenu->addAction(tr("%1 (%2\u00D7%3)")
                                                      .arg(name.isEmpty() ? tr("Screen") : name)
                                                      .arg(size.width())
                                                      .arg(size.height()));
        action->setCheckable(true);
        action->setChecked(screen == chosen);
        group->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, name] { writeStage([&name](StageSettings& s) { s.screenName = name; }); });
    }
}

void ClockWindow::applyWindowSettings() {
    const ClockModel clock = m_clock.read();
    QString title = clock.name;
    // "[*]" is Qt's placeholder for the modified mark; doubled, it shows as typed.
    title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title);
    // A confidence monitor shows the clock, not the desktop behind it.
    setWindowOpacity(m_inStage ? 1.0 : windowOpacityFor(clock.opacity));
    const StageSettings stage = clock.stage.value_or(StageSettings{});
    Qt::WindowFlags flags = windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, clock.alwaysOnTop);
    flags.setFlag(Qt::FramelessWindowHint, m_inStage);
    // Only a floating window lets clicks through: a stage fills a screen nobody works on.
    flags.setFlag(Qt::WindowTransparentForInput, stage.clickThrough && !m_inStage);
    if (flags != windowFlags()) {
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
    content->setNudge([undo = QPointer<TimerUndo>(m_undo)](double seconds) {
        if (undo) {
            undo->nudge(seconds);
        }
    });
    content->setDesktop(m_desktop);
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
        if (m_controls) {
            m_startPause->setTint(tint);
            m_reset->setTint(tint);
        }
        m_settingsButton->setIcon(symbolPixmap(Symbol::settings, kSymbolSize, symbolColour, dpr));
        m_settingsButton->setTint(tint);
        m_symbolMode.reset();
    }
    const Symbol symbol = modeSymbol(clock.mode);
    m_modeSymbol->setPixmap(symbolPixmap(symbol, kSymbolSize, symbolColour, dpr));
    m_modeSymbol->setToolTip(symbolHelpText(symbol));
    m_modeSymbol->setAccessibleName(symbolHelpText(symbol));
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
        if (m_message) {
            m_message->hide();
        }
        return;
    }
    const AppSettings& settings = m_clock.appState() ? m_clock.appState()->settings() : AppSettings{};
    const DisplayContent content =
        displayContent(clock, m_engine->now(), m_engine->flashVisible(), {}, settings.showOvertimeAsPlus);
    const FaceLook look = faceLook(clock, m_engine->now(), m_engine->flashVisible());
    const QColor textColour = toQColor(look.text);
    if (content.isMessage) {
        message()->setText(content.text);
        setTextColour(m_message, textColour);
        m_display->hide();
        m_message->show();
    } else {
        m_display->setWidestTexts(widestTexts(clock, m_engine->now(), {settings.showOvertimeAsPlus, {}}));
        m_display->setText(content.text);
        m_display->setColor(textColour);
        m_display->setTextVisible(content.visible);
        if (m_message) {
            m_message->hide();
        }
        m_display->show();
    }
}

QLabel* ClockWindow::message() {
    if (!m_message) {
        m_message = new QLabel(m_displayArea);
        m_message->hide();
        m_message->setAlignment(Qt::AlignCenter);
        QFont titleFont = m_message->font();
        titleFont.setPixelSize(22);
        titleFont.setBold(true);
        m_message->setFont(titleFont);
        // Between the digits and the caption.
        qobject_cast<QBoxLayout*>(m_displayArea->layout())->insertWidget(1, m_message);
    }
    return m_message;
}

QLabel* ClockWindow::caption() {
    if (!m_caption) {
        m_caption = new QLabel(m_displayArea);
        m_caption->hide();
        m_caption->setAlignment(Qt::AlignCenter);
        // A long message is elided, never allowed to widen the window.
        m_caption->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        m_displayArea->layout()->addWidget(m_caption);
    }
    return m_caption;
}

void ClockWindow::ensureControls() {
    if (m_controls) {
        return;
    }
    m_controls = new QWidget(this);
    m_controls->hide();
    m_startPause = new ProminentButton(tr("Start"), m_controls);
    m_reset = new ProminentButton(tr("Reset"), m_controls);
    auto* controls = new QHBoxLayout(m_controls);
    controls->setContentsMargins(0, 8, 0, 0);
    controls->setSpacing(16);
    controls->addStretch();
    controls->addWidget(m_startPause);
    controls->addWidget(m_reset);
    controls->addStretch();
    layout()->addWidget(m_controls);
    for (ProminentButton* button : {m_startPause, m_reset}) {
        button->setFocusPolicy(Qt::TabFocus);
        if (m_tint.isValid()) {
            button->setTint(m_tint);
        }
    }
    connect(m_startPause, &QPushButton::clicked, m_engine, &TickEngine::startPause);
    connect(m_reset, &QPushButton::clicked, m_undo, &TimerUndo::reset);
}

QPushButton* ClockWindow::startPauseButton() {
    ensureControls();
    return m_startPause;
}

QPushButton* ClockWindow::resetButton() {
    ensureControls();
    return m_reset;
}

QWidget* ClockWindow::controlRow() {
    ensureControls();
    return m_controls;
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
                                       clock.alwaysOnTop != m_last.alwaysOnTop || clock.stage != m_last.stage;
    const bool stageChanged = !m_haveLast || clock.stage != m_last.stage;

    updateTint(clock);
    showMode(clock);

    const bool counting =
        (clock.mode == ClockMode::countdown && clock.countdown) || clock.mode == ClockMode::stopwatch;
    if (counting) {
        ensureControls();
    }
    if (m_controls) {
        m_controls->setVisible(counting && !m_inStage);
    }
    if (m_timecodeView) {
        m_timecodeView->holdButton()->setVisible(!m_inStage);
    }
    if (counting) {
        const bool running = clock.mode == ClockMode::countdown
                                 ? clock.countdown->isRunning
                                 : clock.stopwatch && clock.stopwatch->isRunning;
        m_startPause->setText(running ? tr("Pause") : tr("Start"));
        updateTimerActions(true, running);
    } else {
        updateTimerActions(false, false);
    }

    const FaceLook look = faceLook(clock, m_engine->now(), m_engine->flashVisible());
    const QColor background = toQColor(look.background);
    const QColor outline = toQColor(look.outline);
    const int outlineWidth = look.thickOutline ? 2 * kOutlineWidth : kOutlineWidth;
    if (background != m_backgroundColor || outline != m_outlineColor || outlineWidth != m_outlineWidth) {
        m_backgroundColor = background;
        m_outlineColor = outline;
        m_outlineWidth = outlineWidth;
        update();
    }
    updateCaption(clock, toQColor(currentTextColor(clock, m_engine->now())));
    m_last = clock;
    m_haveLast = true;
    m_refreshing = false;
    if (stageChanged) {
        applyStage(clock);
    }
    if (windowSettingsChanged) {
        scheduleApplyWindowSettings();
    }
}

void ClockWindow::registerKeys(bool on) {
    if (on) {
        ensureTimerActions();
    }
    if (on == m_keysRegistered) {
        return;
    }
    m_keysRegistered = on;
    for (const auto& [action, keys] : m_keys) {
        action->setShortcuts(on ? keys : QList<QKeySequence>{});
    }
    m_leaveStage->setKey(on ? QKeySequence(Qt::Key_Escape) : QKeySequence());
}

bool ClockWindow::event(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        registerKeys(isActiveWindow());
    } else if (event->type() == QEvent::ContextMenu) {
        stageScreenMenu();
        registerKeys(true);
        const bool handled = QWidget::event(event);
        registerKeys(isActiveWindow());
        return handled;
    }
    return QWidget::event(event);
}

// The timer's keys and menu entries only ever act in the active window or in its context menu, so
// they are made the first time either is needed: a hundred clocks on a wall would otherwise keep
// eight actions each (8 KB) that nobody uses.
void ClockWindow::ensureTimerActions() {
    if (m_startPauseAction != nullptr) {
        return;
    }
    const auto make = [this](const QString& text, const QList<QKeySequence>& keys) {
        auto* action = new QAction(text, this);
        if (m_keysRegistered) {
            action->setShortcuts(keys);
        }
        m_keys.append({action, keys});
        // Not the whole window: the settings panel is a tool window of this one, and its fields
        // need Up, Down, Space and the letters for themselves.
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        action->setShortcutVisibleInContextMenu(true);
        insertAction(m_stageAction, action); // above the stage entries
        return action;
    };
    m_startPauseAction = make(tr("Start"), {QKeySequence(Qt::Key_Space)});
    m_resetAction = make(tr("Reset"), {QKeySequence(Qt::Key_R)});
    // The keypad's + and − reach these too: Qt tries a shortcut without the keypad modifier.
    m_minuteUpAction = make(nudgeText(60), {QKeySequence(Qt::Key_Up), QKeySequence(Qt::Key_Plus)});
    m_minuteDownAction = make(nudgeText(-60), {QKeySequence(Qt::Key_Down), QKeySequence(Qt::Key_Minus)});
    m_tenSecondsUpAction = make(nudgeText(10), {QKeySequence(Qt::SHIFT | Qt::Key_Up)});
    m_tenSecondsDownAction = make(nudgeText(-10), {QKeySequence(Qt::SHIFT | Qt::Key_Down)});
    m_undoAction = make(tr("Undo"), {QKeySequence(QKeySequence::Undo)});
    m_timerSeparator = new QAction(this);
    m_timerSeparator->setSeparator(true);
    insertAction(m_stageAction, m_timerSeparator);

    connect(m_startPauseAction, &QAction::triggered, m_engine, &TickEngine::startPause);
    connect(m_resetAction, &QAction::triggered, m_undo, &TimerUndo::reset);
    connect(m_minuteUpAction, &QAction::triggered, m_undo, [this] { m_undo->nudge(60); });
    connect(m_minuteDownAction, &QAction::triggered, m_undo, [this] { m_undo->nudge(-60); });
    connect(m_tenSecondsUpAction, &QAction::triggered, m_undo, [this] { m_undo->nudge(10); });
    connect(m_tenSecondsDownAction, &QAction::triggered, m_undo, [this] { m_undo->nudge(-10); });
    connect(m_undoAction, &QAction::triggered, m_undo, &TimerUndo::undo);
    updateTimerActions(m_timerCounting, m_timerRunning);
}

void ClockWindow::updateTimerActions(bool counting, bool running) {
    m_timerCounting = counting;
    m_timerRunning = running;
    if (m_startPauseAction == nullptr) {
        return;
    }
    // Hidden actions take no keys either: a wall clock ignores Space and R.
    for (QAction* action : timerActions()) {
        action->setVisible(counting);
    }
    m_timerSeparator->setVisible(counting);
    m_startPauseAction->setText(running ? tr("Pause") : tr("Start"));
    updateUndoAction();
}

void ClockWindow::updateUndoAction() {
    if (m_undoAction == nullptr) {
        return;
    }
    const auto next = m_undo->nextUndo();
    m_undoAction->setEnabled(next.has_value());
    if (!next) {
        m_undoAction->setText(tr("Undo"));
    } else if (next->first == TimerUndo::Kind::reset) {
        m_undoAction->setText(tr("Undo Reset"));
    } else {
        m_undoAction->setText(tr("Undo %1").arg(nudgeText(next->second)));
    }
}

QMenu* ClockWindow::stageScreenMenu() {
    // Made the first time a menu shows it, like the timer entries: a window whose menu nobody
    // opens keeps no menu (3 KB).
    if (m_screenMenu == nullptr) {
        m_screenMenu = new QMenu(tr("Stage Screen"), this);
        connect(m_screenMenu, &QMenu::aboutToShow, this, &ClockWindow::fillScreenMenu);
        insertAction(m_clickThroughAction, m_screenMenu->menuAction());
    }
    return m_screenMenu;
}

QList<QAction*> ClockWindow::timerActions() {
    ensureTimerActions();
    return {m_startPauseAction,   m_resetAction,          m_minuteUpAction, m_minuteDownAction,
            m_tenSecondsUpAction, m_tenSecondsDownAction, m_undoAction};
}

void ClockWindow::updateCaption(const ClockModel& clock, const QColor& colour) {
    const StageSettings stage = clock.stage.value_or(StageSettings{});
    QString text;
    if (stage.caption == CaptionKind::name) {
        text = clock.name;
    } else if (stage.caption == CaptionKind::message) {
        text = stage.message;
    }
    text = text.simplified();
    const bool shown = !text.isEmpty() && clock.mode != ClockMode::timecode;
    if (!shown && !m_caption) {
        return;
    }
    caption();
    const int pixels =
        std::max(kMinimumCaptionPixels, static_cast<int>(std::lround(height() * kCaptionShare)));
    QFont font = m_caption->font();
    const bool resized = font.pixelSize() != pixels;
    if (resized) {
        font.setPixelSize(pixels);
        m_caption->setFont(font);
    }
    setTextColour(m_caption, colour);
    if (resized || text != m_captionText || m_caption->isVisible() != shown) {
        m_captionText = text;
        const int width = std::max(1, m_displayArea->width() - 2 * kDisplayPadding);
        m_caption->setText(QFontMetrics(font).elidedText(text, Qt::ElideRight, width));
        m_caption->setVisible(shown);
    }
}

void ClockWindow::applyStage(const ClockModel& clock) {
    const StageSettings stage = clock.stage.value_or(StageSettings{});
    m_stageAction->setChecked(stage.isActive);
    m_clickThroughAction->setChecked(stage.clickThrough);
    // Before the window is shown the manager is still placing it: that frame is the one to come
    // back to, so the stage waits for the first show.
    if (!m_shown) {
        return;
    }
    if (stage.isActive) {
        enterStage(screenNamed(stage.screenName));
    } else if (m_inStage) {
        leaveStage();
    }
}

void ClockWindow::enterStage(QScreen* screen) {
    if (!screen || (m_inStage && m_stageScreen == screen && windowState().testFlag(Qt::WindowFullScreen))) {
        return;
    }
    if (!m_inStage) {
        // The content rectangle: on the way back the window has no frame yet, so a frame
        // position would come out shifted by the decoration.
        m_normalGeometry = geometry();
        m_normalStates = windowState() & ~(Qt::WindowFullScreen | Qt::WindowActive | Qt::WindowMinimized);
    }
    m_inStage = true;
    m_stageScreen = screen;
    m_leaveStage->setEnabled(true);
    if (m_popover) {
        m_popover->close();
    }
    m_header->hide();
    if (m_controls) {
        m_controls->hide();
    }
    layout()->setContentsMargins(kStageMargins);
    applyWindowSettings();
    // A window manager full-screens a window on the screen it is on, so it goes there first; the
    // geometry also covers the screen where no window manager does it.
    if (windowState().testFlag(Qt::WindowFullScreen)) {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    }
    if (QWindow* window = windowHandle()) {
        window->setScreen(screen);
    }
    setGeometry(screen->geometry());
    setWindowState((windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized)) | Qt::WindowFullScreen);
    refresh(true);
}

void ClockWindow::leaveStage() {
    m_inStage = false;
    m_stageScreen = nullptr;
    m_leaveStage->setEnabled(false);
    // The frame comes back first, so that the window leaves full screen as the window it was.
    applyWindowSettings();
    setWindowState(m_normalStates);
    layout()->setContentsMargins(kFloatingMargins);
    m_header->show();
    if (!m_normalStates.testFlag(Qt::WindowMaximized)) {
        setGeometry(m_normalGeometry);
    }
    refresh(true);
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
    const int width = m_outlineWidth;
    const bool clearOfStroke =
        outline.adjusted(width, kOutlineRadius, -width, -kOutlineRadius).contains(dirty) ||
        outline.adjusted(kOutlineRadius, width, -kOutlineRadius, -width).contains(dirty);
    if (clearOfStroke) {
        return;
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRegion(event->region());
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal half = width / 2.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(outline).adjusted(half, half, -half, -half), kOutlineRadius - half,
                        kOutlineRadius - half);
    painter.setPen(QPen(m_outlineColor, width));
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
    applyStage(m_clock.read());
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
    if (m_haveLast) {
        updateCaption(m_last, toQColor(currentTextColor(m_last, m_engine->now())));
    }
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
