#pragma once

#include "binding.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tavix {

/// A closed range of integers, both ends included.
struct IntRange {
    std::int64_t lower = 0;
    std::int64_t upper = 0;

    std::int64_t clamp(std::int64_t n) const { return n < lower ? lower : (n > upper ? upper : n); }
};

/// Base-10 signed 64-bit integer: an optional single "+" or "-" and one or more ASCII digits, nothing
/// else. Empty text, a lone sign, any other character or a value outside 64 bits gives none.
std::optional<std::int64_t> parseDecimalInt64(QStringView text);

/// The plain decimal text of `n` ("5", "0", "-12"), no padding.
QString decimalText(std::int64_t n);

/// The behaviour of one hours, minutes or seconds field, apart from its widgets: the private text
/// buffer, whether the user is typing, the numeric filter, Return, the commit step and the stepper.
/// Main thread only.
class TimeFieldState {
public:
    /// `onEditCommitted` may be empty.
    TimeFieldState(Binding<std::int64_t> value, IntRange range, std::function<void()> onEditCommitted = {});

    const QString& textValue() const { return m_textValue; }
    bool isUserEditing() const { return m_isUserEditing; }
    bool didInitialiseText() const { return m_didInitialiseText; }
    const IntRange& range() const { return m_range; }
    std::int64_t value() const { return m_value.get(); }

    /// Fills the text from the value the first time the field is shown.
    void firstAppearance();
    /// The text the box shows. While the user is not typing it follows the value.
    QString readText();
    /// A keystroke, paste or deletion delivered as the whole new text: only numeric characters stay
    /// and the value is not touched.
    void writeText(const QString& text);
    /// Return in the box: commits a parsed number, or silently restores the value's text.
    void returnPressed();
    /// Clamps `n` into the range, writes it, shows it, and runs the callback.
    void commit(std::int64_t n);
    /// One stepper click: the value moved by `delta` within the range, then committed.
    void step(int delta);

    bool canStepUp() const { return m_value.get() < m_range.upper; }
    bool canStepDown() const { return m_value.get() > m_range.lower; }

private:
    Binding<std::int64_t> m_value;
    IntRange m_range;
    std::function<void()> m_onEditCommitted;
    QString m_textValue;
    bool m_didInitialiseText = false;
    bool m_isUserEditing = false;
};

} // namespace tavix
