#include "editortestsupport.h"

#include "editors/stepper.h"
#include "editors/timefieldeditor.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tavix {
namespace {

// Sequences of typing, pasting, Return, stepper and outside changes on one field over 0...59.
TEST(TimeFieldEditor, TypingPastingReturnStepperAndOutsideChanges) {
    enum class Op { type, paste, enter, up, down, keyUpInBox, outside, leave, hide };
    struct Step {
        Op op;
        QString text; // typed or pasted text, or the outside value
        QString shown;
        std::int64_t value;
    };
    const auto outside = [](std::int64_t n) {
        return Step{Op::outside, QString::number(n), QString::number(n), n};
    };
    const std::vector<std::tuple<const char*, std::int64_t, std::vector<Step>>> cases = {
        {"only digits stay, nothing is written before Return, which clamps",
         5,
         {{Op::type, QStringLiteral("1a:2"), QStringLiteral("12"), 5},
          {Op::paste, QStringLiteral(" -7 h"), QStringLiteral("127"), 5},
          {Op::enter, {}, QStringLiteral("59"), 59}}},
        {"unusable text is silently restored; leading zeros go",
         5,
         {{Op::type, {}, {}, 5},
          {Op::enter, {}, QStringLiteral("5"), 5},
          {Op::type, QStringLiteral("1234567890123456789012345"), QStringLiteral("1234567890123456789012345"),
           5},
          {Op::enter, {}, QStringLiteral("5"), 5},
          {Op::type, {}, {}, 5},
          {Op::paste, QStringLiteral("\u0663"), QStringLiteral("\u0663"), 5}, // a digit, but not ASCII
          {Op::enter, {}, QStringLiteral("5"), 5},
          {Op::type, QStringLiteral("007"), QStringLiteral("007"), 5},
          {Op::enter, {}, QStringLiteral("7"), 7}}},
        {"outside changes show only while not typing; leaving the box or closing its panel commits",
         5,
         {outside(9),
          {Op::type, QStringLiteral("3"), QStringLiteral("3"), 9},
          {Op::outside, QStringLiteral("20"), QStringLiteral("3"), 20},
          {Op::leave, {}, QStringLiteral("3"), 3},
          outside(21),
          {Op::leave, {}, QStringLiteral("21"), 21},
          {Op::type, QStringLiteral("75"), QStringLiteral("75"), 21},
          {Op::hide, {}, QStringLiteral("59"), 59}}},
        {"the stepper stays in range and starts from a stored value outside it",
         58,
         {{Op::up, {}, QStringLiteral("59"), 59},
          {Op::up, {}, QStringLiteral("59"), 59},
          {Op::down, {}, QStringLiteral("58"), 58},
          outside(75),
          {Op::down, {}, QStringLiteral("58"), 58}}},
        {"the stepper and Up in the box step from the value, not from typed text",
         5,
         {{Op::type, QStringLiteral("40"), QStringLiteral("40"), 5},
          {Op::up, {}, QStringLiteral("6"), 6},
          {Op::keyUpInBox, {}, QStringLiteral("7"), 7}}},
    };
    for (const auto& [name, start, steps] : cases) {
        SCOPED_TRACE(name);
        std::int64_t value = start;
        TimeFieldEditor editor(QStringLiteral("M"),
                               {[&value] { return value; }, [&value](const auto& v) { value = v; }},
                               IntRange{0, 59});
        editor.show();
        QLineEdit* box = editor.textBox();
        EXPECT_EQ(box->text(), QString::number(start));
        for (const Step& step : steps) {
            switch (step.op) {
            case Op::type:
                test::retype(box, step.text);
                break;
            case Op::paste:
                QApplication::clipboard()->setText(step.text);
                QTest::keySequence(box, QKeySequence::Paste);
                break;
            case Op::enter:
                box->setFocus();
                QTest::keyClick(box, Qt::Key_Return);
                break;
            case Op::up:
                QTest::mouseClick(editor.stepper()->upButton(), Qt::LeftButton);
                break;
            case Op::down:
                QTest::keyClick(editor.stepper(), Qt::Key_Down);
                break;
            case Op::keyUpInBox:
                QTest::keyClick(box, Qt::Key_Up);
                break;
            case Op::outside:
                value = step.text.toLongLong();
                editor.refresh();
                break;
            case Op::leave: {
                QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
                QApplication::sendEvent(box, &out);
                break;
            }
            case Op::hide:
                editor.hide();
                editor.show();
                break;
            }
            EXPECT_EQ(box->text(), step.shown);
            EXPECT_EQ(value, step.value);
        }
    }
}

} // namespace
} // namespace tavix
