#pragma once

#include <QString>

namespace tavix {

/// `text` with every user-perceived character (extended grapheme cluster) removed whose first code
/// point has no Unicode numeric type. Digits of any script, vulgar fractions, Roman numerals and
/// Han numerals stay; signs, spaces, punctuation and letters go. Thread safe.
QString keepNumericCharacters(const QString& text);

/// Orders two strings for display in the current locale, ignoring letter case (and only case:
/// accents still count). Negative, zero or positive like strcmp. Thread safe.
int compareLocalizedCaseInsensitive(const QString& a, const QString& b);

} // namespace tavix
