#include "editortestsupport.h"

#include "editors/clocksettingspopover.h"
#include "editors/colorpanel.h"
#include "editors/colorwell.h"
#include "editors/popover.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace tavix {
namespace {

// A clock window stand-in: a settings button that opens the popover, plus somewhere else to click.
struct PopoverFixture : test::EditorFixture {
    QWidget window;
    QPushButton* button = new QPushButton(QStringLiteral("Settings"), &window);
    QPushButton* elsewhere = new QPushButton(QStringLiteral("Elsewhere"), &window);
    QPointer<Popover> popover;
    QPointer<ClockSettingsPopover> panel;
    int opened = 0;

    PopoverFixture() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        layout->addWidget(elsewhere);
        QObject::connect(button, &QPushButton::clicked, &window, [this] {
            panel = new ClockSettingsPopover(binding(), nullptr, 90, nullptr);
            popover = Popover::open(button, panel);
            ++opened;
        });
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(popover && popover->isVisible());
    }
};

TEST(Popover, StaysOpenWhileItsColourDialogAndMenusAreUsed) {
    PopoverFixture f;
    QSignalSpy dismissed(f.popover.data(), &Popover::dismissed);
    QTest::mouseClick(f.panel->colorWells()[0], Qt::LeftButton);
    QColorDialog* dialog = f.panel->colorPanel()->dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::mouseClick(dialog, Qt::LeftButton, {}, QPoint(10, 10));
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (child->isVisible() && child->inherits("QLineEdit")) {
            QTest::mouseClick(child, Qt::LeftButton);
            break;
        }
    }
    ASSERT_TRUE(f.popover);
    EXPECT_TRUE(f.popover->isVisible());

    QComboBox* menu = f.panel->typeMenu();
    menu->showPopup();
    QAbstractItemView* list = menu->view();
    ASSERT_TRUE(list->isVisible());
    const QRect countdown = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, countdown.center());
    EXPECT_FALSE(test::closes(f.popover));
    EXPECT_EQ(f.clock().mode, ClockMode::countdown);
    EXPECT_EQ(dismissed.count(), 0);
}

TEST(Popover, ClosesOnAClickElsewhereAndTakesItsColourDialogAlong) {
    PopoverFixture f;
    QSignalSpy dismissed(f.popover.data(), &Popover::dismissed);
    QTest::mouseClick(f.panel->colorWells()[1], Qt::LeftButton);
    const QPointer<QColorDialog> dialog = f.panel->colorPanel()->dialog();
    ASSERT_TRUE(dialog && dialog->isVisible());
    QTest::mouseClick(f.elsewhere, Qt::LeftButton);
    EXPECT_TRUE(test::closes(f.popover));
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(dialog.isNull() || !dialog->isVisible());
}

TEST(Popover, EscapeClosesAndTheSettingsButtonTogglesInsteadOfReopening) {
    PopoverFixture f;
    // Escape in an open menu closes the menu only.
    QComboBox* menu = f.panel->typeMenu();
    menu->setFocus();
    menu->showPopup();
    ASSERT_TRUE(menu->view()->isVisible());
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : menu->view(), Qt::Key_Escape);
    EXPECT_FALSE(menu->view()->isVisible());
    EXPECT_FALSE(test::closes(f.popover));

    f.panel->nameBox()->setFocus();
    QTest::keyClick(f.panel->nameBox(), Qt::Key_Escape);
    EXPECT_TRUE(test::closes(f.popover));

    QTest::mouseClick(f.button, Qt::LeftButton);
    ASSERT_TRUE(f.popover);
    EXPECT_EQ(f.opened, 2);
    QTest::mouseClick(f.button, Qt::LeftButton);
    EXPECT_TRUE(test::closes(f.popover));
    EXPECT_EQ(f.opened, 2);
}

} // namespace
} // namespace tavix
