#include "stepper.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace tavix {

namespace {

QToolButton* makeArrow(Qt::ArrowType arrow, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setFixedSize(18, 12);
    button->setFocusPolicy(Qt::NoFocus);
    // Holding an arrow keeps stepping, like a native stepper.
    button->setAutoRepeat(true);
    button->setAutoRepeatDelay(400);
    button->setAutoRepeatInterval(80);
    return button;
}

} // namespace

Stepper::Stepper(QWidget* parent)
    : QWidget(parent), m_up(makeArrow(Qt::UpArrow, this)), m_down(makeArrow(Qt::DownArrow, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(m_up, &QToolButton::clicked, this, [this] { Q_EMIT stepped(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Q_EMIT stepped(-1); });
}

void Stepper::setCanStepUp(bool can) {
    m_up->setEnabled(can);
}
void Stepper::setCanStepDown(bool can) {
    m_down->setEnabled(can);
}

void Stepper::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up && m_up->isEnabled()) {
        Q_EMIT stepped(+1);
    } else if (event->key() == Qt::Key_Down && m_down->isEnabled()) {
        Q_EMIT stepped(-1);
    } else {
        QWidget::keyPressEvent(event);
    }
}

} // namespace tavix
