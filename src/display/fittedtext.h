#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QRawFont>
#include <QRectF>
#include <QWidget>

#include <memory>

namespace tavix {

/// A one-line numeric display set as large as the widget allows: bold, equal-width digits, never
/// wrapped, never clipped, shrinking down to 1% of the base size. The size is worked out when the
/// widget's size or the shape of the text changes (its length, or a digit turning into another
/// character), not on every paint.
/// Main thread only.
class FittedText : public QWidget {
    Q_OBJECT

public:
    explicit FittedText(QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setColor(const QColor& color);
    QColor color() const { return m_color; }
    /// The hidden phase of a flash: the space stays, nothing is drawn.
    void setTextVisible(bool visible);
    bool isTextVisible() const { return m_textVisible; }
    /// Space kept free on every side.
    void setInset(int inset);

    /// The pixel size chosen for the current text and widget size.
    int fittedPixelSize() const { return m_font.pixelSize(); }
    /// Where the text's ink and advance box lies, in widget coordinates.
    QRectF textBox() const { return m_box; }
    /// How many times the size was worked out (tests check that painting does not refit).
    int fitCount() const { return m_fitCount; }

    /// The base font: bold, with digits of equal width, at `pixelSize`.
    static QFont displayFont(int pixelSize);
    static constexpr int kBasePixelSize = 1000;
    static constexpr int kMinimumPixelSize = kBasePixelSize / 100;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

public:
    /// One glyph drawn once at the fitted size, so a tick only copies pixels: at these sizes the
    /// text would otherwise be rasterised from outlines on every paint.
    struct Glyph {
        QImage image;
        QPointF offset;
        qreal advance = 0;
    };
    /// The glyphs of one size, colour and pixel ratio, shared by every display that draws them (a
    /// wall of same-sized clocks draws its digits once) and freed with the last one.
    class GlyphSet;
    /// How many glyph sets are alive (for tests and measurements).
    static int glyphSetCount();

    /// A glyph of the shaped text: which one, of which font, and where its pen position lies
    /// relative to the baseline origin, in visual order.
    struct PlacedGlyph {
        QRawFont font;
        quint32 index = 0;
        QPointF position;
    };
    /// Shapes `text` as one string (bidirectional order, joined letters) in `font`.
    static QList<PlacedGlyph> shapedGlyphs(const QString& text, const QFont& font);

private:
    const Glyph& glyph(const PlacedGlyph& placed);
    void refit();

    QString m_text;
    QString m_shape;
    QColor m_color{Qt::white};
    bool m_textVisible = true;
    int m_inset = 0;
    QFont m_font;
    QRectF m_box;
    QPointF m_baseline;
    QSize m_fittedSize;
    std::shared_ptr<GlyphSet> m_glyphs;
    QList<PlacedGlyph> m_placed;
    // Where each placed glyph starts and ends once painted, so that a tick repaints only the glyphs
    // that changed.
    QList<QPair<qreal, qreal>> m_cells;
    qreal m_glyphRatio = 0;
    int m_fitCount = 0;
};

} // namespace tavix
