#include "popover.h"

#include <QCloseEvent>
#include <QVBoxLayout>

namespace tavix {

Popover::Popover(QWidget* anchor, QWidget* content) : QWidget(nullptr, Qt::Popup), m_anchor(anchor), m_content(content) {
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

Popover* Popover::open(QWidget* anchor, QWidget* content) {
    auto* popover = new Popover(anchor, content);
    popover->adjustSize();
    if (anchor) {
        popover->move(anchor->mapToGlobal(QPoint(anchor->width() / 2 - popover->width() / 2, anchor->height())));
    }
    popover->show();
    return popover;
}

void Popover::closeEvent(QCloseEvent* event) {
    if (!m_dismissed) {
        m_dismissed = true;
        Q_EMIT dismissed();
    }
    QWidget::closeEvent(event);
}

} // namespace tavix
