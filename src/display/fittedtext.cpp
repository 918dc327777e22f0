#include "fittedtext.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QResizeEvent>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

namespace tavix {

namespace {

// Every digit has the same advance, so the layout only depends on where the digits are. A digit
// stands for the zero of its own script: Arabic-Indic digits order differently from European ones
// in right-to-left text.
QString shapeOf(const QString& text) {
    QString shape = text;
    for (QChar& c : shape) {
        if (c.isDigit() && c.digitValue() > 0) {
            c = QChar(static_cast<char16_t>(c.unicode() - c.digitValue()));
        }
    }
    return shape;
}

// The box the text needs, relative to its baseline origin: the advance and the ink together.
QRectF layoutBox(const QFont& font, const QString& shape) {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(shape);
    const qreal advance = metrics.horizontalAdvance(shape);
    const qreal left = std::min<qreal>(0, ink.left());
    const qreal right = std::max(advance, ink.right());
    return QRectF(QPointF(left, ink.top()), QPointF(right, ink.bottom()));
}

// The caption's room under a text box at `pixelSize`: a gap, then the height of capitals.
struct CaptionRoom {
    qreal gap = 0;
    qreal capHeight = 0;
};

CaptionRoom captionRoom(int pixelSize) {
    const QFontMetricsF metrics(FittedText::displayFont(
        std::max(1, static_cast<int>(std::round(pixelSize * FittedText::kCaptionScale)))));
    return {metrics.capHeight() * 0.6, metrics.capHeight()};
}

// The text's box with room for a caption below it.
QRectF withCaptionRoom(const QRectF& box, int pixelSize) {
    const CaptionRoom room = captionRoom(pixelSize);
    return box.adjusted(0, 0, 0, room.gap + room.capHeight);
}

} // namespace

class FittedText::GlyphSet {
public:
    GlyphSet(QColor color, qreal ratio) : color(color), ratio(ratio) {}

    const Glyph& glyph(const QRawFont& rawFont, quint32 index) {
        // Glyph numbers are per font, and a fallback font may draw some of the text.
        auto slot = std::find(fonts.begin(), fonts.end(), rawFont);
        if (slot == fonts.end()) {
            slot = fonts.insert(fonts.end(), rawFont);
        }
        const quint64 key = (quint64(slot - fonts.begin()) << 32) | index;
        auto it = glyphs.find(key);
        if (it == glyphs.end()) {
            it = glyphs.insert(key, draw(rawFont, index));
        }
        return *it;
    }

    using Key = std::tuple<int, QRgb, qreal>;
    static std::shared_ptr<GlyphSet> get(int pixelSize, const QColor& color, qreal ratio) {
        auto& sets = registry();
        const Key key(pixelSize, color.rgba(), ratio);
        if (auto existing = sets[key].lock()) {
            return existing;
        }
        // Forget the sets no display uses any more before adding one.
        std::erase_if(sets, [](const auto& entry) { return entry.second.expired(); });
        auto set = std::make_shared<GlyphSet>(color, ratio);
        sets[key] = set;
        return set;
    }

    static std::map<Key, std::weak_ptr<GlyphSet>>& registry() {
        static std::map<Key, std::weak_ptr<GlyphSet>> sets;
        return sets;
    }

private:
    Glyph draw(const QRawFont& rawFont, quint32 index) const {
        const QRectF bounds = rawFont.boundingRect(index).adjusted(-2, -2, 2, 2);
        Glyph g;
        const QList<QPointF> advances = rawFont.advancesForGlyphIndexes(QList<quint32>{index});
        g.advance = advances.isEmpty() ? 0 : advances.front().x();
        g.offset = QPointF(std::floor(bounds.left()), std::floor(bounds.top()));
        const QSize pixels(static_cast<int>(std::ceil((bounds.right() - g.offset.x()) * ratio)),
                           static_cast<int>(std::ceil((bounds.bottom() - g.offset.y()) * ratio)));
        g.image = QImage(pixels.expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
        g.image.setDevicePixelRatio(ratio);
        g.image.fill(Qt::transparent);
        QPainter painter(&g.image);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setPen(color);
        QGlyphRun run;
        run.setRawFont(rawFont);
        run.setGlyphIndexes({index});
        run.setPositions({QPointF(0, 0)});
        painter.drawGlyphRun(-g.offset, run);
        return g;
    }

    QColor color;
    qreal ratio;
    std::vector<QRawFont> fonts;
    QHash<quint64, Glyph> glyphs;
};

int FittedText::glyphSetCount() {
    int count = 0;
    for (const auto& entry : GlyphSet::registry()) {
        count += entry.second.expired() ? 0 : 1;
    }
    return count;
}

FittedText::FittedText(QWidget* parent) : QWidget(parent), m_font(displayFont(kMinimumPixelSize)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumSize(1, 1);
}

QFont FittedText::displayFont(int pixelSize) {
    // DejaVu Sans: its digits all have one width, so a running clock never jitters, and its zero
    // is plain; the monospaced faces at hand mark it with a dot or a slash, which reads worse
    // across a room.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    font.setBold(true);
    font.setPixelSize(pixelSize);
    font.setKerning(false);
    return font;
}

QList<FittedText::PlacedGlyph> FittedText::shapedGlyphs(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    // The paragraph direction follows the text, and the line starts at the left edge in either
    // direction: the fitted box is measured from there.
    option.setTextDirection(Qt::LayoutDirectionAuto);
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    QList<PlacedGlyph> placed;
    if (!line.isValid()) {
        return placed;
    }
    for (const QGlyphRun& run : line.glyphRuns()) {
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            placed.append({run.rawFont(), indexes[i], positions[i] - QPointF(0, line.ascent())});
        }
    }
    return placed;
}

void FittedText::setText(const QString& text) {
    if (text == m_text && size() == m_fittedSize) {
        return;
    }
    m_text = text;
    const QString shape = shapeOf(text);
    if (size() != m_fittedSize) {
        m_shape = shape;
        refit();
        update();
        return;
    }
    if (shape != m_shape) {
        m_shape = shape;
        refitShape();
        update();
        return;
    }
    // Same shape: the digits keep their places, so only the glyphs that changed need painting.
    const QList<PlacedGlyph> previous = std::exchange(m_placed, shapedGlyphs(m_text, m_font));
    if (m_cells.size() != m_placed.size() || previous.size() != m_placed.size()) {
        update();
        return;
    }
    QRectF dirty;
    for (qsizetype i = 0; i < m_placed.size(); ++i) {
        const PlacedGlyph& now = m_placed.at(i);
        const PlacedGlyph& before = previous.at(i);
        if (now.index != before.index || now.position != before.position || now.font != before.font) {
            dirty |=
                QRectF(QPointF(m_cells[i].first, m_box.top()), QPointF(m_cells[i].second, m_box.bottom()));
        }
    }
    if (!dirty.isNull()) {
        update(dirty.toAlignedRect().adjusted(-4, -4, 4, 4));
    }
}

void FittedText::setColor(const QColor& color) {
    if (color != m_color) {
        m_color = color;
        m_glyphs.reset();
        m_cells.clear();
        update();
    }
}

void FittedText::setTextVisible(bool visible) {
    if (visible != m_textVisible) {
        m_textVisible = visible;
        m_cells.clear();
        update();
    }
}

void FittedText::setInset(int inset) {
    if (inset != m_inset) {
        m_inset = inset;
        refit();
        update();
    }
}

void FittedText::setCaption(const QString& caption, const QColor& color) {
    if (caption != m_caption || color != m_captionColor) {
        m_caption = caption;
        m_captionColor = color;
        update();
    }
}

void FittedText::setCaptionRoom(bool reserve) {
    if (reserve != m_captionRoom) {
        m_captionRoom = reserve;
        refit();
        update();
    }
}

void FittedText::setWidestTexts(const QStringList& texts) {
    QStringList shapes;
    for (const QString& text : texts) {
        shapes.append(shapeOf(text));
    }
    if (shapes != m_widest) {
        m_widest = shapes;
        refit();
        update();
    }
}

void FittedText::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    refit();
}

void FittedText::refit() {
    ++m_fitCount;
    m_fittedSize = size();
    m_cells.clear();
    m_placed.clear();
    const QRectF area = QRectF(rect()).adjusted(m_inset, m_inset, -m_inset, -m_inset);
    if (m_shape.isEmpty() || area.width() <= 0 || area.height() <= 0) {
        m_font = displayFont(kMinimumPixelSize);
        m_box = {};
        m_fitted = {};
        m_captionBox = {};
        return;
    }
    QStringList shapes = m_widest;
    shapes.append(m_shape);
    // The size that fits every one of the shapes, with room for a caption under them if asked.
    const auto needed = [this, &shapes](int pixelSize) {
        const QFont font = displayFont(pixelSize);
        QSizeF most;
        for (const QString& shape : shapes) {
            most = most.expandedTo(layoutBox(font, shape).size());
        }
        const QRectF box(QPointF(0, 0), most);
        return (m_captionRoom ? withCaptionRoom(box, pixelSize) : box).size();
    };
    const QSizeF base = needed(kBasePixelSize);
    const qreal scale = std::min(area.width() / base.width(), area.height() / base.height());
    int pixelSize =
        std::clamp(static_cast<int>(std::floor(kBasePixelSize * scale)), kMinimumPixelSize, kBasePixelSize);
    // Hinting makes small sizes a little wider than the scaled base: step down until it fits.
    QSizeF box = needed(pixelSize);
    while (pixelSize > kMinimumPixelSize && (box.width() > area.width() || box.height() > area.height())) {
        --pixelSize;
        box = needed(pixelSize);
    }
    m_fitted = box;
    m_font = displayFont(pixelSize);
    m_glyphs.reset();
    placeText(area);
}

void FittedText::refitShape() {
    m_cells.clear();
    const QRectF area = QRectF(rect()).adjusted(m_inset, m_inset, -m_inset, -m_inset);
    if (m_widest.isEmpty() || m_shape.isEmpty() || m_box.isNull()) {
        refit();
        return;
    }
    const QRectF box = layoutBox(m_font, m_shape);
    if (box.width() > area.width() || box.height() > area.height()) {
        refit();
        return;
    }
    ++m_fitCount;
    placeText(area);
}

void FittedText::placeText(const QRectF& area) {
    // Centre the text's box, with the caption's room under it when one is kept (centring the text
    // alone left the caption half outside a window that is short for its width); whole pixels keep
    // the glyph edges crisp.
    const QRectF box = layoutBox(m_font, m_shape);
    const QRectF block = m_captionRoom ? withCaptionRoom(box, m_font.pixelSize()) : box;
    const QPointF origin(std::round(area.center().x() - (box.left() + box.right()) / 2),
                         std::round(area.center().y() - (block.top() + block.bottom()) / 2));
    m_baseline = origin;
    m_box = box.translated(origin);
    m_placed = shapedGlyphs(m_text, m_font);
    m_captionBox = {};
    if (m_captionRoom) {
        const int pixelSize = m_font.pixelSize();
        m_captionFont = displayFont(std::max(1, static_cast<int>(std::round(pixelSize * kCaptionScale))));
        const CaptionRoom room = captionRoom(pixelSize);
        m_captionBox = QRectF(m_box.left(), m_box.bottom() + room.gap, m_box.width(), room.capHeight);
    }
}

void FittedText::paintEvent(QPaintEvent*) {
    if (!m_textVisible || m_text.isEmpty()) {
        return;
    }
    if (size() != m_fittedSize) {
        refit(); // resized while hidden: no resize event was delivered
    }
    if (!m_caption.isEmpty() && !m_captionBox.isEmpty()) {
        // Drawn as text: it comes and goes rarely, so it needs no glyph cache.
        QPainter painter(this);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.setFont(m_captionFont);
        painter.setPen(m_captionColor);
        const qreal width = QFontMetricsF(m_captionFont).horizontalAdvance(m_caption);
        painter.drawText(QPointF(std::round(m_captionBox.center().x() - width / 2), m_captionBox.bottom()),
                         m_caption);
    }
    if (devicePixelRatioF() != m_glyphRatio) {
        m_glyphs.reset();
        m_glyphRatio = devicePixelRatioF();
    }
    QPainter painter(this);
    m_cells.clear();
    for (const PlacedGlyph& placed : m_placed) {
        const Glyph& g = glyph(placed);
        const qreal x = m_baseline.x() + placed.position.x();
        const QPointF at(std::round(x + g.offset.x()),
                         m_baseline.y() + std::round(placed.position.y()) + g.offset.y());
        painter.drawImage(at, g.image);
        m_cells.append(
            {std::min(x, at.x()), std::max(x + g.advance, at.x() + g.image.deviceIndependentSize().width())});
    }
}

const FittedText::Glyph& FittedText::glyph(const PlacedGlyph& placed) {
    if (!m_glyphs) {
        m_glyphs = GlyphSet::get(m_font.pixelSize(), m_color, devicePixelRatioF());
    }
    return m_glyphs->glyph(placed.font, placed.index);
}

} // namespace tavix
