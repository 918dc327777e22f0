#include "editortestsupport.h"

#include "editors/stepper.h"
#include "editors/timefieldeditor.h"

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tavix;

namespace {

// Sequences of typing, pasting, Return, stepper and outside changes on one field over 0...59.
TEST(TimeFieldEditor, TypingPastingReturnStepperAndOutsideChanges) {
    // What a step does to the field, or to the stored value it shows.
    using Act = std::function<void(TimeFieldEditor&, std::int64_t&)>;
    const auto type = [](const char* text) -> Act {
        return [text](TimeFieldEditor& e, auto&) { test::retype(e.textBox(), QString::fromUtf8(text)); };
    };
    const auto paste = [](const char* text) -> Act {
        return [text](TimeFieldEditor& e, auto&) {
            QApplication::clipboard()->setText(QString::fromUtf8(text));
            QTest::keySequence(e.textBox(), QKeySequence::Paste);
        };
    };
    const auto outside = [](std::int64_t n) -> Act {
        return [n](TimeFieldEditor& e, std::int64_t& value) {
            value = n;
            e.refresh();
        };
    };
    const Act enter = [](TimeFieldEditor& e, auto&) {
        e.textBox()->setFocus();
        QTest::keyClick(e.textBox(), Qt::Key_Return);
    };
    const Act up = [](TimeFieldEditor& e, auto&) {
        QTest::mouseClick(e.stepper()->upButton(), Qt::LeftButton);
    };
    const Act down = [](TimeFieldEditor& e, auto&) { QTest::keyClick(e.stepper(), Qt::Key_Down); };
    const Act keyUpInBox = [](TimeFieldEditor& e, auto&) { QTest::keyClick(e.textBox(), Qt::Key_Up); };
    const Act leave = [](TimeFieldEditor& e, auto&) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(e.textBox(), &out);
    };
    const Act hide = [](TimeFieldEditor& e, auto&) {
        e.hide();
        e.show();
    };
    struct Step {
        Act act;
        const char* shown;
        std::int64_t value;
    };
    const std::vector<std::tuple<const char*, std::int64_t, std::vector<Step>>> cases = {
        {"only digits stay, nothing is written before Return, which clamps",
         5,
         {{type("1a:2"), "12", 5}, {paste(" -7 h"), "127", 5}, {enter, "59", 59}}},
        // U+0663 is a digit, but not ASCII.
        {"unusable text is silently restored; leading zeros go",
         5,
         {{type(""), "", 5},
          {enter, "5", 5},
          {type("1234567890123456789012345"), "1234567890123456789012345", 5},
          {enter, "5", 5},
          {type(""), "", 5},
          {paste("\u0663"), "\u0663", 5},
          {enter, "5", 5},
          {type("007"), "007", 5},
          {enter, "7", 7}}},
        {"outside changes show only while not typing; leaving the box or closing its panel commits",
         5,
         {{outside(9), "9", 9},
          {type("3"), "3", 9},
          {outside(20), "3", 20},
          {leave, "3", 3},
          {outside(21), "21", 21},
          {leave, "21", 21},
          {type("75"), "75", 21},
          {hide, "59", 59}}},
        {"the stepper stays in range and starts from a stored value outside it",
         58,
         {{up, "59", 59}, {up, "59", 59}, {down, "58", 58}, {outside(75), "75", 75}, {down, "58", 58}}},
        {"the stepper and Up in the box step from the value, not from typed text",
         5,
         {{type("40"), "40", 5}, {up, "6", 6}, {keyUpInBox, "7", 7}}}};
    for (const auto& [name, start, steps] : cases) {
        SCOPED_TRACE(name);
        std::int64_t value = start;
        TimeFieldEditor editor(u"M"_s, {[&value] { return value; }, [&value](const auto& v) { value = v; }},
                               IntRange{0, 59});
        editor.show();
        QLineEdit* box = editor.textBox();
        EXPECT_EQ(box->text(), QString::number(start));
        for (const Step& step : steps) {
            step.act(editor, value);
            EXPECT_EQ(std::tuple(box->text(), value), std::tuple(QString::fromUtf8(step.shown), step.value));
        }
    }
}

} // namespace
