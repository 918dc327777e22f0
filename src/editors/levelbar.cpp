#include "levelbar.h"

#include <QPainter>

#include <algorithm>

#include <cmath>

namespace tavix {

LevelBar::LevelBar(QWidget* parent) : QWidget(parent) {
    setFixedSize(120, 6);
    m_animation.setDuration(kAnimationMs);
    m_animation.setEasingCurve(QEasingCurve::OutCubic);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_displayed = value.toDouble();
        update();
    });
}

double LevelBar::fractionForLevel(double level) {
    if (std::isnan(level)) {
        return 0;
    }
    return std::clamp(level, 0.0, 1.0);
}

void LevelBar::setLevel(double level) {
    m_level = level;
    const double target = fractionForLevel(level);
    if (target == m_target) {
        return;
    }
    m_target = target;
    // Start from where the fill is drawn now, so quick changes glide instead of jumping.
    m_animation.stop();
    m_animation.setStartValue(m_displayed);
    m_animation.setEndValue(target);
    m_animation.start();
}

void LevelBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF bar = rect();
    const double radius = std::min(4.0, bar.height() / 2);
    painter.setBrush(QColor(255, 255, 255, 38));
    painter.drawRoundedRect(bar, radius, radius);
    if (m_displayed > 0) {
        painter.setBrush(palette().color(QPalette::WindowText));
        painter.drawRoundedRect(QRectF(bar.left(), bar.top(), bar.width() * m_displayed, bar.height()),
                                radius, radius);
    }
}

} // namespace tavix
