#include "editorstyle.h"

#include "colorwell.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

namespace tavix {

void applyEditorLook(QWidget* root) {
    root->setPalette(darkPalette());
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
