#include "editors/stepper.h"
#include "editors/timefieldeditor.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace tavix {
namespace {

struct FieldWidget {
    std::int64_t value = 5;
    int callbacks = 0;
    TimeFieldEditor editor{QStringLiteral("M"),
                           {[this] { return value; }, [this](const std::int64_t& v) { value = v; }},
                           IntRange{0, 59},
                           [this] { ++callbacks; }};
    FieldWidget() {
        editor.show();
        editor.textBox()->setFocus();
    }
    QLineEdit* box() const { return editor.textBox(); }
};

TEST(TimeFieldEditor, TypedAndPastedTextIsFilteredAndCommittedOnlyByReturn) {
    FieldWidget f;
    EXPECT_EQ(f.box()->text(), QStringLiteral("5"));
    f.box()->selectAll();
    QTest::keyClicks(f.box(), QStringLiteral("1a:2"));
    EXPECT_EQ(f.box()->text(), QStringLiteral("12"));
    EXPECT_EQ(f.value, 5);

    QApplication::clipboard()->setText(QStringLiteral(" -7 h"));
    QTest::keySequence(f.box(), QKeySequence::Paste);
    EXPECT_EQ(f.box()->text(), QStringLiteral("127"));
    EXPECT_EQ(f.value, 5);

    QTest::keyClick(f.box(), Qt::Key_Return);
    EXPECT_EQ(f.value, 59);
    EXPECT_EQ(f.box()->text(), QStringLiteral("59"));
    EXPECT_EQ(f.callbacks, 2);
}

TEST(TimeFieldEditor, OutsideChangesShowOnlyWhileNotTyping) {
    FieldWidget f;
    f.value = 9;
    f.editor.refresh();
    EXPECT_EQ(f.box()->text(), QStringLiteral("9"));

    QTest::keyClick(f.box(), Qt::Key_Backspace);
    QTest::keyClicks(f.box(), QStringLiteral("3"));
    f.value = 20;
    f.editor.refresh();
    EXPECT_EQ(f.box()->text(), QStringLiteral("3"));
    // Leaving the box does not commit either.
    f.box()->clearFocus();
    f.editor.refresh();
    EXPECT_EQ(f.box()->text(), QStringLiteral("3"));
    EXPECT_EQ(f.value, 20);

    f.box()->setFocus();
    QTest::keyClick(f.box(), Qt::Key_Return);
    EXPECT_EQ(f.value, 3);
    f.value = 21;
    f.editor.refresh();
    EXPECT_EQ(f.box()->text(), QStringLiteral("21"));
}

TEST(TimeFieldEditor, StepperButtonsAndKeysStayInRange) {
    FieldWidget f;
    f.value = 58;
    f.editor.refresh();
    QTest::mouseClick(f.editor.stepper()->upButton(), Qt::LeftButton);
    EXPECT_EQ(f.value, 59);
    EXPECT_EQ(f.box()->text(), QStringLiteral("59"));
    EXPECT_FALSE(f.editor.stepper()->upButton()->isEnabled());
    QTest::mouseClick(f.editor.stepper()->upButton(), Qt::LeftButton);
    QTest::keyClick(f.editor.stepper(), Qt::Key_Up);
    EXPECT_EQ(f.value, 59);
    QTest::keyClick(f.editor.stepper(), Qt::Key_Down);
    QTest::keyClick(f.editor.stepper(), Qt::Key_Down);
    EXPECT_EQ(f.value, 57);
    EXPECT_EQ(f.box()->text(), QStringLiteral("57"));
    EXPECT_EQ(f.callbacks, 3);
}

} // namespace
} // namespace tavix
