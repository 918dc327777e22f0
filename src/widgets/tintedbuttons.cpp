#include "tintedbuttons.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace tavix {

namespace {

constexpr int kRadius = 7;
constexpr int kPaddingX = 14;
constexpr int kPaddingY = 6;
constexpr int kMinimumWidth = 70;

bool isLight(const QColor& colour) {
    return colour.lightnessF() > 0.5;
}

} // namespace

ProminentButton::ProminentButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    QFont bold = font();
    bold.setPixelSize(15);
    bold.setBold(true);
    setFont(bold);
    setAttribute(Qt::WA_Hover, false);
}

void ProminentButton::setTint(const QColor& tint) {
    if (tint != m_tint) {
        m_tint = tint;
        update();
    }
}

QSize ProminentButton::sizeHint() const {
    const QFontMetrics metrics(font());
    return {std::max(kMinimumWidth, metrics.horizontalAdvance(text()) + 2 * kPaddingX),
            metrics.height() + 2 * kPaddingY};
}

QSize ProminentButton::minimumSizeHint() const {
    return sizeHint();
}

void ProminentButton::paintEvent(QPaintEvent*) {
    const bool light = isLight(m_tint);
    QColor fill = isDown() ? (light ? QColor(0xc8, 0xc8, 0xc8) : QColor(0x3a, 0x3a, 0x3a)) : m_tint;
    QColor label = light ? QColor(0x11, 0x11, 0x11) : QColor(0xf2, 0xf2, 0xf2);
    if (!isEnabled()) {
        label.setAlphaF(0.5f);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), kRadius, kRadius);
    painter.setPen(label);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
}

SymbolButton::SymbolButton(QWidget* parent) : QToolButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void SymbolButton::setTint(const QColor& tint) {
    if (tint != m_tint) {
        m_tint = tint;
        update();
    }
}

void SymbolButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (underMouse() || isDown()) {
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(m_tint.red(), m_tint.red(), m_tint.red(), isDown() ? 70 : 40));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    const QPixmap pixmap = icon().pixmap(iconSize(), devicePixelRatioF(), mode);
    const QSizeF logical = pixmap.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - logical.width()) / 2.0, (height() - logical.height()) / 2.0),
                       pixmap);
}

} // namespace tavix
