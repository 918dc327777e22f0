#include "timefieldstate.h"

#include "platform/unicodetext.h"

#include <limits>

namespace tavix {

std::optional<std::int64_t> parseDecimalInt64(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulate toward the negative side so that the most negative value parses too.
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    std::int64_t n = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        const int digit = c - u'0';
        if (n < (kMin + digit) / 10) {
            return std::nullopt;
        }
        n = n * 10 - digit;
    }
    if (!negative) {
        if (n == kMin) {
            return std::nullopt;
        }
        n = -n;
    }
    return n;
}

QString decimalText(std::int64_t n) {
    return QString::number(static_cast<qlonglong>(n));
}

TimeFieldState::TimeFieldState(Binding<std::int64_t> value, IntRange range,
                               std::function<void()> onEditCommitted)
    : m_value(std::move(value)), m_range(range), m_onEditCommitted(std::move(onEditCommitted)) {}

void TimeFieldState::firstAppearance() {
    if (m_didInitialiseText) {
        return;
    }
    m_textValue = decimalText(m_value.get());
    m_didInitialiseText = true;
}

QString TimeFieldState::readText() {
    if (!m_isUserEditing) {
        const std::int64_t value = m_value.get();
        const auto parsed = parseDecimalInt64(m_textValue);
        if (!parsed || *parsed != value) {
            m_textValue = decimalText(value);
        }
    }
    return m_textValue;
}

void TimeFieldState::writeText(const QString& text) {
    m_isUserEditing = true;
    m_textValue = keepNumericCharacters(text);
}

void TimeFieldState::returnPressed() {
    const auto parsed = parseDecimalInt64(m_textValue);
    if (m_textValue.isEmpty() || !parsed) {
        m_textValue = decimalText(m_value.get());
    } else {
        commit(*parsed);
    }
    m_isUserEditing = false;
    // Runs again after a successful commit; the callers' callbacks are idempotent.
    if (m_onEditCommitted) {
        m_onEditCommitted();
    }
}

void TimeFieldState::commit(std::int64_t n) {
    const std::int64_t clamped = m_range.clamp(n);
    m_value.set(clamped);
    m_textValue = decimalText(clamped);
    if (m_onEditCommitted) {
        m_onEditCommitted();
    }
}

void TimeFieldState::step(int delta) {
    // Start from the value pulled into the range, so a stored value far outside it cannot overflow.
    const std::int64_t from = m_range.clamp(m_value.get());
    commit(m_range.clamp(from + delta));
}

} // namespace tavix
