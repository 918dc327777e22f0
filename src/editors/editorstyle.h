#pragma once

#include "widgets/symbols.h"
#include "widgets/widgetstyle.h"

#include <QColor>
#include <QFont>

#include <vector>

class QLabel;
class QHBoxLayout;
class QLayout;
class QLineEdit;
class QVBoxLayout;
class QWidget;

namespace tavix {

class ColorWell;

// The editors' layout: the dark palette, text boxes, and the handful of text styles and rows the
// panels use. Main thread only.

/// Gives `root` and everything below it the dark palette and the body font.
void applyEditorLook(QWidget* root);

/// The rounded, outlined look of every text box of the editors.
void styleTextBox(QLineEdit* box);

QFont bodyFont();
QFont monospacedBodyFont();
QFont captionFont();
QFont caption2Font();
QFont calloutFont();
QFont headlineFont();

/// A label in the dimmed secondary colour.
QLabel* makeSecondaryLabel(const QString& text, const QFont& font, QWidget* parent = nullptr);
/// A one-pixel horizontal rule.
QWidget* makeDivider(QWidget* parent = nullptr);

/// A row: the label right-aligned in a box `labelWidth` wide, 12 px, then `controls`, then
/// stretch. `labelColumnTop` puts the label beside the first line of taller controls.
/// `verticalPadding` is added above and below the row.
QWidget* makeLabelRow(const QString& label, double labelWidth, QLayout* controls, bool secondaryLabel = true,
                      int verticalPadding = 2, bool labelColumnTop = false);

/// A vertical stack for an editor section: `spacing` between rows, 2 px above and below.
QVBoxLayout* makeSectionLayout(QWidget* section, int spacing = 10);
/// A row of controls `spacing` apart with no margins.
QHBoxLayout* makeControlsRow(int spacing);
/// A help line in the small caption font, starting under the controls of the rows above it.
QLabel* makeHelpLine(const QString& text, double labelWidth);
/// Colour wells side by side, `spacing` apart, vertically centred.
QHBoxLayout* makeWellsRow(const std::vector<ColorWell*>& wells, int spacing = 10);

} // namespace tavix
