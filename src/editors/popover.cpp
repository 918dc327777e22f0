#include "popover.h"

#include "editorstyle.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <utility>

namespace tavix {

namespace {

Qt::WindowFlags popoverFlags(const QWidget* anchor) {
    // Not Qt::Popup: a popup closes on any click outside it, its own colour dialog included, and
    // grabs the keyboard from that dialog. A frameless tool window stays above the clock window it
    // belongs to; the application event filter below gives it the popup's closing rules instead.
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint;
    if (anchor && anchor->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    return flags;
}

} // namespace

Popover::Popover(QWidget* anchor, QWidget* content)
    : QWidget(anchor ? anchor->window() : nullptr, popoverFlags(anchor)), m_anchor(anchor),
      m_content(content) {
    setAttribute(Qt::WA_DeleteOnClose);
    applyEditorLook(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    // The popover follows its content's size, also when a mode section is rebuilt.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(content);
    if (content->metaObject()->indexOfSignal("dismissRequested()") >= 0) {
        connect(content, SIGNAL(dismissRequested()), this, SLOT(close()));
    }
    qApp->installEventFilter(this);
}

Popover* Popover::open(QWidget* anchor, QWidget* content) {
    auto* popover = new Popover(anchor, content);
    popover->adjustSize();
    popover->placeNearAnchor();
    popover->show();
    popover->raise();
    popover->activateWindow();
    return popover;
}

bool Popover::ownsWidget(const QWidget* widget) const {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w == this) {
            return true;
        }
    }
    return false;
}

void Popover::placeNearAnchor() {
    if (!m_anchor) {
        return;
    }
    const QPoint below = m_anchor->mapToGlobal(QPoint(m_anchor->width() / 2, m_anchor->height() + 4));
    QRect frame(QPoint(below.x() - width() / 2, below.y()), size());
    const QScreen* screen = m_anchor->screen();
    if (screen) {
        const QRect available = screen->availableGeometry();
        if (frame.bottom() > available.bottom()) {
            // No room below the button: open above it instead.
            const int above = m_anchor->mapToGlobal(QPoint(0, 0)).y() - 4 - height();
            if (above >= available.top()) {
                frame.moveTop(above);
            } else {
                frame.moveBottom(available.bottom());
            }
        }
        frame.moveLeft(std::clamp(frame.left(), available.left(),
                                  std::max(available.left(), available.right() - width())));
        frame.moveTop(std::max(frame.top(), available.top()));
    }
    move(frame.topLeft());
}

void Popover::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeNearAnchor();
}

void Popover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QColor(0x48, 0x48, 0x4c));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

bool Popover::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::TabletPress:
    case QEvent::TouchBegin: {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && !ownsWidget(widget)) {
            const bool onAnchor = m_anchor && (widget == m_anchor || m_anchor->isAncestorOf(widget));
            close();
            // A click on the button that opened the popover only closes it; without this the same
            // click would open a new one at once.
            return onAnchor;
        }
        break;
    }
    case QEvent::ShortcutOverride:
        // An open drop-down list (a popup of the popover's own menus) takes this Escape; it may be
        // gone by the time the key press itself is delivered.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            m_escapeClosesPopup = m_escapeClosesPopup || QApplication::activePopupWidget() != nullptr;
        }
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier && widget &&
            widget->window() == this) {
            if (std::exchange(m_escapeClosesPopup, false) || QApplication::activePopupWidget()) {
                break;
            }
            close();
            return true;
        }
        break;
    }
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            m_escapeClosesPopup = false;
        }
        break;
    case QEvent::ApplicationStateChange:
        // Another application took the input: a click elsewhere on the desktop.
        if (QGuiApplication::applicationState() != Qt::ApplicationActive) {
            close();
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void Popover::closeEvent(QCloseEvent* event) {
    if (!m_dismissed) {
        m_dismissed = true;
        qApp->removeEventFilter(this);
        Q_EMIT dismissed();
    }
    QWidget::closeEvent(event);
}

} // namespace tavix
