#pragma once

#include "timefieldstate.h"

#include <QWidget>

class QLabel;
class QLineEdit;

namespace tavix {

class Stepper;

/// One hours, minutes or seconds field: a narrow numeric text box, a stepper and the unit label.
/// Typing shows only numeric characters and changes nothing until it is committed: by Return, by
/// the field losing the focus or by the field being hidden (its panel closing). A commit, like the
/// stepper, writes a value clamped to the range and then runs `onEditCommitted`.
/// Main thread only.
class TimeFieldEditor : public QWidget {
    Q_OBJECT

public:
    TimeFieldEditor(const QString& label, Binding<std::int64_t> value, IntRange range,
                    std::function<void()> onEditCommitted = {}, QWidget* parent = nullptr);

    /// Shows the value again after an outside change (ignored while the user is typing).
    void refresh();

    QLineEdit* textBox() const { return m_textBox; }
    Stepper* stepper() const { return m_stepper; }
    const TimeFieldState& state() const { return m_state; }

protected:
    /// Up and Down in the text box step the value, as the stepper does.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    /// Takes a typed value as Return does; nothing when nothing was typed.
    void commitTyping();
    void onTextEdited(const QString& text);

    TimeFieldState m_state;
    QLineEdit* m_textBox;
    Stepper* m_stepper;
    QLabel* m_unit;
};

/// The field of the time-until target: the same editor without a commit callback.
class TimeUntilFieldEditor : public TimeFieldEditor {
    Q_OBJECT

public:
    TimeUntilFieldEditor(const QString& label, Binding<std::int64_t> value, IntRange range,
                         QWidget* parent = nullptr)
        : TimeFieldEditor(label, std::move(value), range, {}, parent) {}
};

} // namespace tavix
