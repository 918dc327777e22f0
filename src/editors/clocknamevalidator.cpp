#include "clocknamevalidator.h"

#include "model/xmltext.h"

#include <algorithm>

namespace tavix {

QValidator::State ClockNameValidator::validate(QString& input, int& position) const {
    const QString cleaned = withoutXmlForbiddenCharacters(input);
    if (cleaned.size() != input.size()) {
        // The cursor stays after what was typed: it moves back by what went before it.
        const qsizetype before = std::clamp<qsizetype>(position, 0, input.size());
        position -= int(before - withoutXmlForbiddenCharacters(input.first(before)).size());
        position = std::clamp(position, 0, int(cleaned.size()));
        input = cleaned;
    }
    return Acceptable;
}

} // namespace tavix
