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
/// widget's size, the widest texts to allow for, or (when it no longer fits) the shape of the text
/// changes, not on every paint.
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
    /// Texts the size must also leave room for (the widest the display may show next), so that
    /// the digits keep their size while the text changes length within that range.
    void setWidestTexts(const QStringList& texts);
    QStringList widestTexts() const { return m_widest; }

    /// A short line of capitals centred under the text, a quarter of the text's size, in `color`
    /// (which may differ from the text's). Empty: none.
    void setCaption(const QString& caption, const QColor& color);
    QString caption() const { return m_caption; }
    QColor captionColor() const { return m_captionColor; }
    /// Keeps room for a caption under the text whether or not one is shown, so that the text does
    /// not move when a caption comes or goes.
    void setCaptionRoom(bool reserve);
    /// The pixel size of the caption's font (bold, like the text); 0 without room for a caption.
    int captionPixelSize() const { return m_captionRoom ? m_captionFont.pixelSize() : 0; }
    /// Where the caption's capitals go, in widget coordinates; empty without room for one.
    QRectF captionBox() const { return m_captionBox; }
    static constexpr qreal kCaptionScale = 0.25;

    /// The pixel size chosen for the current text and widget size.
    int fittedPixelSize() const { return m_font.pixelSize(); }
    /// Where the text's ink and advance box lies, in widget coordinates.
    QRectF textBox() const { return m_box; }
    /// The box the font was fitted to: the widest of the texts it must hold, with the caption's room.
    QSizeF fittedSize() const { return m_fitted; }
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
    /// Keeps the size when the new shape still fits it and only the shape changed.
    void refitShape();
    void placeText(const QRectF& area);

    QString m_text;
    QString m_shape;
    QStringList m_widest;
    QColor m_color{Qt::white};
    bool m_textVisible = true;
    int m_inset = 0;
    QFont m_font;
    QRectF m_box;
    QSizeF m_fitted;
    QString m_caption;
    QColor m_captionColor{Qt::white};
    bool m_captionRoom = false;
    QFont m_captionFont;
    QRectF m_captionBox;
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
