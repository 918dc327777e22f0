#include "colorwell.h"

#include "colorpanel.h"
#include "editorstyle.h"

#include <QColorDialog>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include <algorithm>

namespace tavix {

ColorWell::ColorWell(const QString& title, const QString& toolTip, Binding<ColorValue> color,
                     ColorPanel* panel, QWidget* parent)
    : QAbstractButton(parent), m_binding(std::move(color)), m_panel(panel) {
    setAccessibleName(title);
    setToolTip(toolTip);
    setFixedSize(sizeHint());
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, [this] { m_panel->showFor(this); });
    refresh();
}

void ColorWell::refresh() {
    const ColorValue color = m_binding.get();
    if (!(color == m_color)) {
        m_color = color;
        update();
    }
}

void ColorWell::pick(const ColorValue& color) {
    m_binding.set(color);
    refresh();
}

void ColorWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const bool active = m_panel->target() == this && m_panel->isOpen();
    painter.setPen(
        QPen(active ? palette().color(QPalette::Highlight) : QColor(0x5a, 0x5a, 0x60), active ? 2 : 1));
    painter.setBrush(QColor(0x2a, 0x2a, 0x2c));
    painter.drawRoundedRect(frame, 5, 5);

    const QRectF swatch = frame.adjusted(4, 4, -4, -4);
    QPainterPath clip;
    clip.addRoundedRect(swatch, 3, 3);
    painter.setClipPath(clip);
    // A checkerboard under the colour makes transparency visible.
    painter.fillRect(swatch, QColor(0xd0, 0xd0, 0xd0));
    for (int y = 0; y * 4 < swatch.height(); ++y) {
        for (int x = 0; x * 4 < swatch.width(); ++x) {
            if ((x + y) % 2 == 0) {
                painter.fillRect(QRectF(swatch.left() + x * 4, swatch.top() + y * 4, 4, 4),
                                 QColor(0x90, 0x90, 0x90));
            }
        }
    }
    painter.fillRect(swatch, toQColor(m_color));
    painter.setClipping(false);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(swatch, 3, 3);
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        painter.drawRoundedRect(frame.adjusted(-0.25, -0.25, 0.25, 0.25), 5, 5);
    }
}

ColorPanel::ColorPanel(QWidget* host) : QObject(host), m_host(host) {}

ColorPanel::~ColorPanel() {
    if (m_dialog) {
        m_dialog->close();
    }
}

void ColorPanel::showFor(ColorWell* well) {
    if (!m_dialog) {
        m_dialog = new QColorDialog(m_host);
        // Our own dialog, not the desktop's: it must be a window of ours for the popover to know it,
        // and it applies every change at once, so it needs no OK or Cancel.
        m_dialog->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog |
                             QColorDialog::NoButtons);
        m_dialog->setWindowTitle(tr("Colours"));
        m_dialog->setModal(false);
        m_dialog->setPalette(darkPalette());
        connect(m_dialog, &QColorDialog::currentColorChanged, this, [this](const QColor& color) {
            if (!m_settingColor && m_target) {
                m_target->pick(fromQColor(color));
            }
        });
    }
    const QPointer<ColorWell> previous = m_target;
    m_target = well;
    {
        // Showing a well's colour is not an edit: a named colour must stay named until the user
        // picks another.
        m_settingColor = true;
        m_dialog->setCurrentColor(toQColor(well->color()));
        m_settingColor = false;
    }
    if (!m_dialog->isVisible()) {
        placeBesideHost();
    }
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
    if (previous && previous != well) {
        previous->update();
    }
    well->update();
}

void ColorPanel::placeBesideHost() {
    // Beside the panel rather than over it, so the swatches and the panel's other rows stay in view.
    QWidget* hostWindow = m_host ? m_host->window() : nullptr;
    if (!hostWindow) {
        return;
    }
    m_dialog->adjustSize();
    const QRect host = hostWindow->frameGeometry();
    const QSize size = m_dialog->frameGeometry().size();
    const QScreen* screen = hostWindow->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect(host.topLeft(), size * 3);
    QPoint topLeft(host.right() + 8, host.top());
    if (topLeft.x() + size.width() > available.right()) {
        topLeft.setX(host.left() - 8 - size.width());
    }
    topLeft.setX(std::clamp(topLeft.x(), available.left(),
                            std::max(available.left(), available.right() - size.width())));
    topLeft.setY(std::clamp(topLeft.y(), available.top(),
                            std::max(available.top(), available.bottom() - size.height())));
    m_dialog->move(topLeft);
}

void ColorPanel::close() {
    if (m_dialog) {
        m_dialog->close();
    }
    const QPointer<ColorWell> previous = m_target;
    m_target = nullptr;
    if (previous) {
        previous->update();
    }
}

bool ColorPanel::isOpen() const {
    return m_dialog && m_dialog->isVisible();
}

} // namespace tavix
