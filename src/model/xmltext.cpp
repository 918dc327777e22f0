#include "xmltext.h"

#include <QStringDecoder>

#include <cstring>

namespace tavix {

namespace {

bool xmlAllows(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

bool startsWith(const QByteArray& bytes, const char* prefix, qsizetype length) {
    return bytes.size() >= length && std::memcmp(bytes.constData(), prefix, static_cast<size_t>(length)) == 0;
}

QByteArray decodedAsUtf8(const QByteArray& bytes, QStringConverter::Encoding encoding, qsizetype skip) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return QString(decoder(QByteArrayView(bytes).sliced(skip))).toUtf8();
}

// The encoding an XML declaration at the start of `head` names, as in
// <?xml version="1.0" encoding="ISO-8859-1"?>, lower-cased; empty when it names none.
QString declaredEncoding(QStringView head) {
    head = head.trimmed();
    if (!head.startsWith(u"<?xml")) {
        return {};
    }
    if (const qsizetype end = head.indexOf(u'>'); end >= 0) {
        head = head.first(end);
    }
    const qsizetype at = head.indexOf(u"encoding");
    if (at < 0) {
        return {};
    }
    QStringView rest = head.sliced(at + 8).trimmed();
    if (!rest.startsWith(u'=')) {
        return {};
    }
    rest = rest.sliced(1).trimmed();
    if (rest.isEmpty() || (rest.front() != u'"' && rest.front() != u'\'')) {
        return {};
    }
    rest = rest.sliced(1);
    qsizetype length = 0;
    const auto nameCharacter = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
               c == u'.' || c == u'_' || c == u'-';
    };
    while (length < rest.size() && nameCharacter(rest[length])) {
        ++length;
    }
    if (length == 0 || length == rest.size() || (rest[length] != u'"' && rest[length] != u'\'')) {
        return {};
    }
    return rest.first(length).toString().toLower();
}

} // namespace

QString withoutXmlForbiddenCharacters(const QString& text) {
    QString result;
    qsizetype kept = 0; // text[0, kept) is copied to result once the first forbidden character shows
    bool changed = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            length = 2;
        } else if (text[i].isSurrogate()) {
            c = 0xFFFF; // unpaired
        }
        if (!xmlAllows(c)) {
            if (!changed) {
                result.reserve(text.size());
                changed = true;
            }
            result.append(QStringView(text).sliced(kept, i - kept));
            kept = i + length;
        }
        i += length - 1;
    }
    if (!changed) {
        return text;
    }
    result.append(QStringView(text).sliced(kept));
    return result;
}

QByteArray withoutXmlForbiddenCharacters(const QByteArray& utf8) {
    // In valid UTF-8 only single bytes below 0x20 and the sequences of U+FFFE and U+FFFF can be
    // forbidden: surrogates have no UTF-8 form.
    const auto forbiddenAt = [&utf8](qsizetype i) -> int {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20) {
            return byte == '\t' || byte == '\n' || byte == '\r' ? 0 : 1;
        }
        if (byte == 0xEF && i + 2 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) == 0xBF &&
            (static_cast<unsigned char>(utf8[i + 2]) & 0xFE) == 0xBE) {
            return 3;
        }
        return 0;
    };
    qsizetype i = 0;
    while (i < utf8.size() && forbiddenAt(i) == 0) {
        ++i;
    }
    if (i == utf8.size()) {
        return utf8;
    }
    QByteArray result = utf8.first(i);
    while (i < utf8.size()) {
        const int skip = forbiddenAt(i);
        if (skip > 0) {
            i += skip;
        } else {
            result.append(utf8[i++]);
        }
    }
    return result;
}

QByteArray xmlAsUtf8(const QByteArray& bytes) {
    using E = QStringConverter::Encoding;
    if (startsWith(bytes, "bplist", 6)) {
        return bytes;
    }
    // Editors on other systems save with a byte-order mark, or in UTF-16; the parser takes only
    // UTF-8 without one. UTF-32 marks first: its little-endian mark begins like UTF-16's.
    if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
        return bytes.sliced(3);
    }
    if (startsWith(bytes, "\xFF\xFE\0\0", 4)) {
        return decodedAsUtf8(bytes, E::Utf32LE, 4);
    }
    if (startsWith(bytes, "\0\0\xFE\xFF", 4)) {
        return decodedAsUtf8(bytes, E::Utf32BE, 4);
    }
    if (startsWith(bytes, "\xFF\xFE", 2)) {
        return decodedAsUtf8(bytes, E::Utf16LE, 2);
    }
    if (startsWith(bytes, "\xFE\xFF", 2)) {
        return decodedAsUtf8(bytes, E::Utf16BE, 2);
    }
    if (startsWith(bytes, "<\0\0\0", 4)) {
        return decodedAsUtf8(bytes, E::Utf32LE, 0);
    }
    if (startsWith(bytes, "\0\0\0<", 4)) {
        return decodedAsUtf8(bytes, E::Utf32BE, 0);
    }
    if (startsWith(bytes, "<\0", 2)) {
        return decodedAsUtf8(bytes, E::Utf16LE, 0);
    }
    if (startsWith(bytes, "\0<", 2)) {
        return decodedAsUtf8(bytes, E::Utf16BE, 0);
    }
    // An 8-bit file declared as Latin-1 (or ASCII, its subset) holds bytes that are not UTF-8.
    const QString name =
        declaredEncoding(QString::fromLatin1(bytes.first(std::min<qsizetype>(bytes.size(), 200))));
    if (name == u"iso-8859-1" || name == u"latin1" || name == u"latin-1" || name == u"iso8859-1" ||
        name == u"l1") {
        return decodedAsUtf8(bytes, E::Latin1, 0);
    }
    return bytes;
}

} // namespace tavix
