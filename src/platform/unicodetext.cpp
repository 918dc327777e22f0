#include "unicodetext.h"

#include <QLocale>

#include <unicode/brkiter.h>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>

#include <memory>

namespace tavix {

namespace {

icu::UnicodeString toIcu(const QString& text) {
    return icu::UnicodeString(reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

bool hasNumericType(UChar32 codePoint) {
    return u_getIntPropertyValue(codePoint, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

} // namespace

QString keepNumericCharacters(const QString& text) {
    if (text.isEmpty()) {
        return text;
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> graphemes(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    const icu::UnicodeString source = toIcu(text);
    QString kept;
    if (U_FAILURE(status) || !graphemes) {
        // Without break data, judge each code point on its own; combining marks have no numeric type.
        for (int32_t i = 0; i < source.length(); i = source.moveIndex32(i, 1)) {
            const char32_t codePoint = static_cast<char32_t>(source.char32At(i));
            if (hasNumericType(static_cast<UChar32>(codePoint))) {
                kept.append(QString::fromUcs4(&codePoint, 1));
            }
        }
        return kept;
    }
    graphemes->setText(source);
    int32_t start = graphemes->first();
    for (int32_t end = graphemes->next(); end != icu::BreakIterator::DONE;
         start = end, end = graphemes->next()) {
        if (hasNumericType(source.char32At(start))) {
            kept.append(QStringView(text).mid(start, end - start));
        }
    }
    return kept;
}

int compareLocalizedCaseInsensitive(const QString& a, const QString& b) {
    UErrorCode status = U_ZERO_ERROR;
    // A collator is not safe to share between threads without cloning, and listings are rare:
    // make one per call.
    // The user's locale as Qt sees it; "C" (no locale set) gets the root collation rather than
    // ICU's POSIX one, which orders by code point and so puts every capital first.
    const QString localeName = QLocale().name();
    const icu::Locale locale = localeName == QStringLiteral("C")
                                   ? icu::Locale::getRoot()
                                   : icu::Locale(localeName.toUtf8().constData());
    std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(locale, status));
    if (U_FAILURE(status) || !collator) {
        return QString::compare(a, b, Qt::CaseInsensitive);
    }
    // Secondary strength tells base letters and accents apart but not upper from lower case.
    collator->setStrength(icu::Collator::SECONDARY);
    const UCollationResult result = collator->compare(toIcu(a), toIcu(b), status);
    if (U_FAILURE(status)) {
        return QString::compare(a, b, Qt::CaseInsensitive);
    }
    return static_cast<int>(result);
}

} // namespace tavix
