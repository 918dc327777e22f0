#pragma once

#include <QVariantAnimation>
#include <QWidget>

namespace tavix {

/// The input level meter of the timecode editor: a 120 x 6 track with a fill whose width follows
/// the level (clamped to 0...1, not-a-number as 0), eased out over 0.15 s.
/// Main thread only.
class LevelBar : public QWidget {
    Q_OBJECT

public:
    explicit LevelBar(QWidget* parent = nullptr);

    /// The level as given.
    double level() const { return m_level; }
    void setLevel(double level);

    /// The clamped fraction the fill is heading for.
    double targetFraction() const { return m_target; }
    /// The fraction drawn at this moment of the animation.
    double displayedFraction() const { return m_displayed; }

    /// `level` clamped to 0...1; not-a-number gives 0.
    static double fractionForLevel(double level);

    static constexpr int kAnimationMs = 150;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    double m_level = 0;
    double m_target = 0;
    double m_displayed = 0;
    QVariantAnimation m_animation;
};

} // namespace tavix
