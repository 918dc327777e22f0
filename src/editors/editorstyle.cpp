#include "editorstyle.h"

#include "colorwell.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#include <QVBoxLayout>
#include <QWidget>

namespace tavix {

QPalette editorPalette() {
    QPalette palette;
    const QColor window(0x16, 0x16, 0x16);
    const QColor field(0x00, 0x00, 0x00);
    const QColor button(0x2a, 0x2a, 0x2c);
    const QColor text = primaryTextColor();
    const QColor dim = secondaryTextColor();
    const QColor accent(0x0a, 0x84, 0xff);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Window, window);
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, field);
        palette.setColor(group, QPalette::AlternateBase, button);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::PlaceholderText, dim);
        palette.setColor(group, QPalette::Button, button);
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::BrightText, Qt::white);
        palette.setColor(group, QPalette::Highlight, accent);
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::ToolTipBase, button);
        palette.setColor(group, QPalette::ToolTipText, text);
        palette.setColor(group, QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
        palette.setColor(group, QPalette::Midlight, QColor(0x3a, 0x3a, 0x3e));
        palette.setColor(group, QPalette::Mid, QColor(0x30, 0x30, 0x33));
        palette.setColor(group, QPalette::Dark, QColor(0x0c, 0x0c, 0x0c));
        palette.setColor(group, QPalette::Shadow, Qt::black);
        palette.setColor(group, QPalette::Link, accent);
    }
    const QColor disabled(0x5e, 0x5e, 0x62);
    palette.setColor(QPalette::Disabled, QPalette::Window, window);
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0x10, 0x10, 0x10));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0x20, 0x20, 0x22));
    for (const auto role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::PlaceholderText}) {
        palette.setColor(QPalette::Disabled, role, disabled);
    }
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x3a, 0x3a, 0x3e));
    return palette;
}

void applyEditorLook(QWidget* root) {
    root->setPalette(editorPalette());
    root->setAutoFillBackground(true);
    root->setFont(bodyFont());
}

void styleTextBox(QLineEdit* box) {
    // Rounded and outlined: the plain style draws black boxes that vanish on the dark ground. Set on
    // the box alone, since a style sheet on a parent would replace the palettes of all its children.
    box->setStyleSheet(QStringLiteral(
        "QLineEdit { background: #000000; color: #ececee; border: 1px solid #4a4a4e; border-radius: 5px;"
        " padding: 2px 4px; selection-background-color: #0a84ff; }"
        "QLineEdit:focus { border-color: #0a84ff; }"
        "QLineEdit:disabled { color: #5e5e62; border-color: #303033; }"));
}

QColor primaryTextColor() {
    return QColor(0xec, 0xec, 0xee);
}
QColor secondaryTextColor() {
    return QColor(0x98, 0x98, 0x9f);
}

QFont bodyFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    if (font.pointSizeF() > 0 && font.pointSizeF() < 10) {
        font.setPointSizeF(10);
    }
    return font;
}

QFont monospacedBodyFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(bodyFont().pointSizeF());
    return font;
}

namespace {

QFont scaledBodyFont(double factor, bool bold = false) {
    QFont font = bodyFont();
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

} // namespace

QFont captionFont() {
    return scaledBodyFont(0.85);
}
QFont caption2Font() {
    return scaledBodyFont(0.8);
}
QFont calloutFont() {
    return scaledBodyFont(0.92);
}
QFont headlineFont() {
    return scaledBodyFont(1.0, true);
}

QLabel* makeSecondaryLabel(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, secondaryTextColor());
    palette.setColor(QPalette::Inactive, QPalette::WindowText, secondaryTextColor());
    label->setPalette(palette);
    return label;
}

QWidget* makeDivider(QWidget* parent) {
    auto* line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, QColor(0x3a, 0x3a, 0x3e));
    line->setPalette(palette);
    return line;
}

QWidget* makeLabelRow(const QString& label, double labelWidth, QLayout* controls, bool secondaryLabel,
                      int verticalPadding, bool labelColumnTop) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, verticalPadding, 0, verticalPadding);
    layout->setSpacing(12);
    QLabel* title = secondaryLabel ? makeSecondaryLabel(label, bodyFont()) : new QLabel(label);
    title->setFixedWidth(qRound(labelWidth));
    title->setAlignment(Qt::AlignRight | (labelColumnTop ? Qt::AlignTop : Qt::AlignVCenter));
    if (labelColumnTop) {
        // Line the label up with the first line of the controls beside it.
        title->setContentsMargins(0, 4, 0, 0);
    }
    layout->addWidget(title, 0, labelColumnTop ? Qt::AlignTop : Qt::AlignVCenter);
    layout->addLayout(controls);
    layout->addStretch(1);
    return row;
}

namespace {

QString symbolSvg(Symbol symbol) {
    // 24 x 24 outlines; "C" is replaced by the colour, "G" by the ground the symbol is cut into.
    switch (symbol) {
    case Symbol::plusCircleFill:
        return QStringLiteral(
            "<circle cx='12' cy='12' r='10' fill='C'/>"
            "<path d='M12 7v10M7 12h10' stroke='G' stroke-width='2.4' stroke-linecap='round'/>");
    case Symbol::windowOnRectangle:
        return QStringLiteral(
            "<rect x='8' y='3' width='13' height='10' rx='2' fill='none' stroke='C' stroke-width='1.6'/>"
            "<rect x='3' y='9' width='13' height='11' rx='2' fill='G' stroke='C' stroke-width='1.6'/>"
            "<path d='M3 12.5h13' stroke='C' stroke-width='1.6'/>");
    case Symbol::trash:
        return QStringLiteral(
            "<path d='M4 6.5h16M9.5 6.5V4.5h5v2M6.5 6.5l1 13.5h9l1-13.5M10.2 10v6.5M13.8 10v6.5' "
            "fill='none' stroke='C' stroke-width='1.6' stroke-linecap='round' "
            "stroke-linejoin='round'/>");
    case Symbol::exclamationTriangleFill:
        return QStringLiteral("<path d='M12 2.8L22.2 20.6H1.8Z' fill='C' stroke='C' stroke-width='1.5' "
                              "stroke-linejoin='round'/>"
                              "<path d='M12 9v5.6' stroke='G' stroke-width='2.2' stroke-linecap='round'/>"
                              "<circle cx='12' cy='17.6' r='1.3' fill='G'/>");
    case Symbol::arrowClockwise:
        return QStringLiteral(
            "<path d='M19.2 12.5A7.2 7.2 0 1 1 16.6 6.6' fill='none' stroke='C' stroke-width='1.8' "
            "stroke-linecap='round'/>"
            "<path d='M17.4 2.8v4.6h-4.6' fill='none' stroke='C' stroke-width='1.8' "
            "stroke-linecap='round' stroke-linejoin='round'/>");
    }
    return {};
}

QIcon iconFromSvg(const QString& body, const QColor& color) {
    QString svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 24 24'>") + body +
                  QStringLiteral("</svg>");
    svg.replace(QStringLiteral("'C'"), QStringLiteral("'%1'").arg(color.name()));
    svg.replace(QStringLiteral("'G'"), QStringLiteral("'#161616'"));
    QSvgRenderer renderer(svg.toUtf8());
    QIcon icon;
    for (const int size : {16, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setOpacity(color.alphaF());
        renderer.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon symbolIcon(Symbol symbol, const QColor& color) {
    return iconFromSvg(symbolSvg(symbol), color);
}

QIcon spinnerIcon(int angleDegrees, const QColor& color) {
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const double scale = size / 16.0;
        QPen pen(color, 1.8 * scale, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const QRectF box(2 * scale, 2 * scale, 12 * scale, 12 * scale);
        // Qt measures arcs in sixteenths of a degree, counter-clockwise; turn the gap clockwise.
        painter.drawArc(box, -angleDegrees * 16, 270 * 16);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QVBoxLayout* makeSectionLayout(QWidget* section, int spacing) {
    auto* layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->setSpacing(spacing);
    return layout;
}

QHBoxLayout* makeControlsRow(int spacing) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    return row;
}

QLabel* makeHelpLine(const QString& text, double labelWidth) {
    QLabel* help = makeSecondaryLabel(text, caption2Font());
    help->setContentsMargins(qRound(labelWidth) + 12, 0, 0, 0);
    help->setWordWrap(true);
    return help;
}

QHBoxLayout* makeWellsRow(const std::vector<ColorWell*>& wells, int spacing) {
    QHBoxLayout* row = makeControlsRow(spacing);
    for (ColorWell* well : wells) {
        row->addWidget(well, 0, Qt::AlignVCenter);
    }
    return row;
}

} // namespace tavix
