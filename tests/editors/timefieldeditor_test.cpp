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
        const char* text; // typed or pasted text, or the outside value
        const char* shown;
        std::int64_t value;
    };
    const std::vector<std::tuple<const char*, std::int64_t, std::vector<Step>>> cases = {
        {"only digits stay, nothing is written before Return, which clamps",
         5,
         {{Op::type, "1a:2", "12", 5}, {Op::paste, " -7 h", "127", 5}, {Op::enter, "", "59", 59}}},
        // U+0663 is a digit, but not ASCII.
        {"unusable text is silently restored; leading zeros go",
         5,
         {{Op::type, "", "", 5},
          {Op::enter, "", "5", 5},
          {Op::type, "1234567890123456789012345", "1234567890123456789012345", 5},
          {Op::enter, "", "5", 5},
          {Op::type, "", "", 5},
          {Op::paste, "\u0663", "\u0663", 5},
          {Op::enter, "", "5", 5},
          {Op::type, "007", "007", 5},
          {Op::enter, "", "7", 7}}},
        {"outside changes show only while not typing; leaving the box or closing its panel commits",
         5,
         {{Op::outside, "9", "9", 9},
          {Op::type, "3", "3", 9},
          {Op::outside, "20", "3", 20},
          {Op::leave, "", "3", 3},
          {Op::outside, "21", "21", 21},
          {Op::leave, "", "21", 21},
          {Op::type, "75", "75", 21},
          {Op::hide, "", "59", 59}}},
        {"the stepper stays in range and starts from a stored value outside it",
         58,
         {{Op::up, "", "59", 59},
          {Op::up, "", "59", 59},
          {Op::down, "", "58", 58},
          {Op::outside, "75", "75", 75},
          {Op::down, "", "58", 58}}},
        {"the stepper and Up in the box step from the value, not from typed text",
         5,
         {{Op::type, "40", "40", 5}, {Op::up, "", "6", 6}, {Op::keyUpInBox, "", "7", 7}}}};
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
                test::retype(box, QString::fromUtf8(step.text));
                break;
            case Op::paste:
                QApplication::clipboard()->setText(QString::fromUtf8(step.text));
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
                value = std::stoll(step.text);
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
            EXPECT_EQ(box->text(), QString::fromUtf8(step.shown));
            EXPECT_EQ(value, step.value);
        }
    }
}

} // namespace
} // namespace tavix
