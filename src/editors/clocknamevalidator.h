#pragma once

#include <QValidator>

namespace tavix {

/// Keeps the characters XML forbids (a pasted vertical tab, U+FFFE) out of a clock's name as it is
/// typed or pasted, so that the saved file stays readable by any property-list reader. Everything
/// else is accepted as it is.
class ClockNameValidator : public QValidator {
    Q_OBJECT

public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override;
};

} // namespace tavix
