#include "timefieldeditor.h"

#include "editorstyle.h"
#include "stepper.h"

#include "platform/unicodetext.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace tavix {

TimeFieldEditor::TimeFieldEditor(const QString& label, Binding<std::int64_t> value, IntRange range,
                                 std::function<void()> onEditCommitted, QWidget* parent)
    : QWidget(parent), m_state(std::move(value), range, std::move(onEditCommitted)),
      m_textBox(new QLineEdit(this)), m_stepper(new Stepper(this)),
      m_unit(makeSecondaryLabel(label, bodyFont(), this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_textBox->setFixedWidth(44);
    styleTextBox(m_textBox);
    m_textBox->setFont(monospacedBodyFont());
    m_textBox->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_textBox->setAccessibleName(label);
    layout->addWidget(m_textBox, 0, Qt::AlignVCenter);
    layout->addWidget(m_stepper, 0, Qt::AlignVCenter);
    layout->addWidget(m_unit, 0, Qt::AlignVCenter);

    connect(m_textBox, &QLineEdit::textEdited, this, &TimeFieldEditor::onTextEdited);
    connect(m_textBox, &QLineEdit::returnPressed, this, [this] {
        m_state.returnPressed();
        refresh();
    });
    connect(m_stepper, &Stepper::stepped, this, [this](int delta) {
        m_state.step(delta);
        refresh();
    });

    m_textBox->installEventFilter(this);

    m_state.firstAppearance();
    refresh();
}

void TimeFieldEditor::commitTyping() {
    if (m_state.isUserEditing()) {
        m_state.returnPressed();
        refresh();
    }
}

void TimeFieldEditor::hideEvent(QHideEvent* event) {
    // The panel closes (Escape, a click on Start in the clock window): keep what was typed.
    commitTyping();
    QWidget::hideEvent(event);
}

bool TimeFieldEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_textBox && event->type() == QEvent::FocusOut) {
        commitTyping();
    }
    if (watched == m_textBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            const int delta = key == Qt::Key_Up ? 1 : -1;
            if (delta > 0 ? m_state.canStepUp() : m_state.canStepDown()) {
                m_state.step(delta);
                refresh();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TimeFieldEditor::refresh() {
    const QString text = m_state.readText();
    if (m_textBox->text() != text) {
        m_textBox->setText(text);
    }
    m_stepper->setCanStepUp(m_state.canStepUp());
    m_stepper->setCanStepDown(m_state.canStepDown());
}

void TimeFieldEditor::onTextEdited(const QString& text) {
    m_state.writeText(text);
    const QString& kept = m_state.textValue();
    if (kept != text) {
        // Keep the caret where it was, less the characters the filter took out before it.
        const auto cursor =
            static_cast<int>(keepNumericCharacters(text.left(m_textBox->cursorPosition())).size());
        m_textBox->setText(kept);
        m_textBox->setCursorPosition(cursor);
    }
}

} // namespace tavix
