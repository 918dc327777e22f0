#pragma once

#include <QByteArray>
#include <QString>

namespace tavix {

/// `text` without the characters XML 1.0 forbids: control characters other than tab, line feed and
/// carriage return, unpaired surrogates, U+FFFE and U+FFFF. A file holding one of them is refused
/// by standard property-list readers, so they are kept out of names as they are typed and read.
QString withoutXmlForbiddenCharacters(const QString& text);

/// The same for UTF-8 bytes, which must be valid UTF-8 (as QString::toUtf8 gives).
QByteArray withoutXmlForbiddenCharacters(const QByteArray& utf8);

/// XML bytes in UTF-8 without a byte-order mark, whatever Unicode encoding (or Latin-1 declaration)
/// they came in; binary property lists and plain UTF-8 come back unchanged.
QByteArray xmlAsUtf8(const QByteArray& bytes);

} // namespace tavix
