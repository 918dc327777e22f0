#include "toggle.h"

#include <QPainter>

#include <algorithm>
#include <QPainterPath>

namespace tavix {

namespace {

constexpr int kTrackWidth = 32;
constexpr int kTrackHeight = 18;
constexpr int kGap = 8;

} // namespace

Toggle::Toggle(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize Toggle::sizeHint() const {
    const QFontMetrics metrics(font());
    const int textWidth = text().isEmpty() ? 0 : kGap + metrics.horizontalAdvance(text());
    return {kTrackWidth + textWidth + 2, std::max(kTrackHeight, metrics.height()) + 2};
}

bool Toggle::hitButton(const QPoint& pos) const {
    return rect().contains(pos);
}

void Toggle::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF track(1, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
    const bool on = isChecked();
    QColor trackColor = on ? palette().color(QPalette::Highlight) : QColor(0x48, 0x48, 0x4c);
    if (!isEnabled()) {
        trackColor = trackColor.darker(160);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(trackColor);
    painter.drawRoundedRect(track, kTrackHeight / 2.0, kTrackHeight / 2.0);
    const double knob = kTrackHeight - 4;
    const double knobX = on ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(isEnabled() ? QColor(0xf4, 0xf4, 0xf6) : QColor(0x9a, 0x9a, 0x9e));
    painter.drawEllipse(QRectF(knobX, track.top() + 2, knob, knob));
    if (hasFocus()) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(palette().color(QPalette::Highlight).lighter(130), 1.5));
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), kTrackHeight / 2.0 + 1, kTrackHeight / 2.0 + 1);
    }
    if (!text().isEmpty()) {
        painter.setPen(
            palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const QRect textRect(kTrackWidth + kGap + 1, 0, width() - kTrackWidth - kGap - 1, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text());
    }
}

} // namespace tavix
