#include "editortestsupport.h"

#include "editors/preferencesview.h"
#include "editors/remotecontrolsection.h"
#include "editors/toggle.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

using namespace tavix;

namespace {

struct PreferencesFixture : test::Store {
    QList<QUuid> opened;
    PreferencesView view{&state, [this](const QUuid& id) { opened << id; }, 160};

    PreferencesFixture() {
        view.show();
        view.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&view));
    }
    QStringList rowNames() const {
        QStringList names;
        for (const auto& row : view.clockRows()) {
            names << row.name->text();
        }
        return names;
    }
    const PreferencesView::ClockRow& row(int i) const {
        return view.clockRows().at(static_cast<std::size_t>(i));
    }
};

TEST(PreferencesView, ListFollowsClocksAddedRenamedAndRemovedElsewhere) {
    PreferencesFixture f;
    EXPECT_EQ(f.rowNames(), QStringList{u"Clock 1"_s});
    EXPECT_EQ(f.row(0).mode->text(), u"Time"_s);

    const QUuid second = f.state.addClock();
    f.state.renameClock(f.id(), u"Stage"_s);
    f.edit([](ClockModel& c) { c.mode = ClockMode::timeUntil; });
    EXPECT_EQ(f.rowNames(), (QStringList{u"Stage"_s, u"Clock 2"_s}));
    EXPECT_EQ(f.row(0).mode->text(), u"Time Until"_s);

    f.state.removeClock(f.id());
    EXPECT_EQ(std::tuple(f.rowNames(), f.row(0).id), std::tuple(QStringList{u"Clock 2"_s}, second));
    EXPECT_FALSE(f.view.noClocksText()->isVisible());
}

TEST(PreferencesView, NameBoxWritesEachKeystrokeAndRenamesOnReturn) {
    PreferencesFixture f;
    const QUuid other = f.state.addClock();
    QLineEdit* box = f.row(0).name;
    test::retype(box, u"  Stage  "_s);
    EXPECT_EQ(f.clock().name, u"  Stage  "_s);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(std::tuple(f.clock().name, box->text()), std::tuple(u"Stage"_s, u"Stage"_s));

    // A pasted line break from a word processor (a vertical tab) never gets into the name.
    box->selectAll();
    QGuiApplication::clipboard()->setText(u"Line\vTwo\uFFFE"_s);
    box->paste();
    EXPECT_EQ(std::tuple(box->text(), f.clock().name), std::tuple(u"LineTwo"_s, u"LineTwo"_s));
    EXPECT_EQ(box->cursorPosition(), 7);

    // A refused rename (another clock's name) leaves the typed text in place.
    test::retype(f.row(1).name, u"Stage"_s);
    QTest::keyClick(f.row(1).name, Qt::Key_Return);
    EXPECT_EQ(f.state.clocks().at(*f.state.indexOfClock(other)).name, u"Stage"_s);
}

TEST(PreferencesView, OpenRemoveAndAddWithTheKeyboardShortcut) {
    PreferencesFixture f;
    const QUuid first = f.id();
    QTest::mouseClick(f.row(0).open, Qt::LeftButton);
    EXPECT_EQ(f.opened, QList<QUuid>{first});

    QTest::mouseClick(f.row(0).remove, Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil([&f] { return f.state.clocks().isEmpty(); }));
    EXPECT_TRUE(f.view.noClocksText()->isVisible());
    EXPECT_TRUE(f.view.clockRows().empty());

    QTest::keyClick(f.view.windowHandle(), Qt::Key_N, Qt::ControlModifier);
    // A button's shortcut clicks it the animated way, a moment later.
    ASSERT_TRUE(test::waitUntil([&f] { return f.state.clocks().size() == 1; }));
    EXPECT_EQ(f.state.clocks().front().name, u"Clock 1"_s);
    EXPECT_EQ(f.opened, (QList<QUuid>{first, f.state.clocks().front().id}));
    EXPECT_FALSE(f.view.noClocksText()->isVisible());
    QTest::mouseClick(f.view.addClockButton(), Qt::LeftButton);
    EXPECT_EQ(f.rowNames(), (QStringList{u"Clock 1"_s, u"Clock 2"_s}));
}

TEST(PreferencesView, DefaultsShowTruncatedTextAndSnapToTheirSteps) {
    PreferencesFixture f;
    f.changeSettings([](AppSettings& s) {
        s.defaultOpacity = 0.57;
        s.defaultCountdownDuration = 30;
    });
    EXPECT_EQ(f.view.opacityText()->text(), u"56%"_s);
    EXPECT_EQ(f.view.countdownStartText()->text(), u"0:00 h"_s) << "hours and minutes, and says so";
    // Showing an out-of-range start writes nothing; moving the slider brings it into whole minutes.
    EXPECT_EQ(f.state.settings().defaultCountdownDuration, 30);
    f.view.countdownStartSlider()->setFocus();
    QTest::keyClick(f.view.countdownStartSlider(), Qt::Key_Right);
    EXPECT_EQ(f.state.settings().defaultCountdownDuration, 120);
    QTest::keyClick(f.view.countdownStartSlider(), Qt::Key_End);
    EXPECT_EQ(f.state.settings().defaultCountdownDuration, 7200);
    EXPECT_EQ(f.view.countdownStartText()->text(), u"2:00 h"_s);

    QTest::mouseClick(f.view.alwaysOnTopToggle(), Qt::LeftButton);
    EXPECT_TRUE(f.state.settings().defaultAlwaysOnTop);
    EXPECT_EQ(f.state.clocks().front().alwaysOnTop, false);

    EXPECT_TRUE(f.view.keepCountingToggle()->isChecked());
    QTest::mouseClick(f.view.keepCountingToggle(), Qt::LeftButton);
    EXPECT_FALSE(f.state.settings().runningTimersKeepCounting);
}

TEST(PreferencesView, SaysWhenChangesAreNotBeingSaved) {
    PreferencesFixture f;
    f.file->flushPendingWrites();
    EXPECT_FALSE(f.view.saveNote()->isVisible());
    // Made read-only by its owner: Tavix must not replace it, and says so here.
    ASSERT_TRUE(QFile::setPermissions(f.file->stateFileURL(), QFileDevice::ReadOwner));
    f.state.renameClock(f.id(), u"Stage"_s);
    f.file->flushPendingWrites();
    ASSERT_TRUE(test::waitUntil([&] { return f.view.saveNote()->isVisible(); }));
    EXPECT_TRUE(f.view.saveNote()->text().startsWith(u"Your changes are not being saved: "_s));
    EXPECT_TRUE(f.view.saveNote()->text().contains(u"read-only"_s));

    ASSERT_TRUE(
        QFile::setPermissions(f.file->stateFileURL(), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    f.state.renameClock(f.id(), u"Studio"_s);
    f.file->flushPendingWrites();
    EXPECT_TRUE(test::waitUntil([&] { return !f.view.saveNote()->isVisible(); }));
}

TEST(RemoteControlSection, EditsTheRemoteKeysAndShowsTheAddressWithTheTokenMasked) {
    test::Store f;
    RemoteControlSection section(&f.state, 160);
    section.show();
    EXPECT_TRUE(section.enabledToggle()->isChecked()) << "on by default";
    EXPECT_FALSE(section.allowOthersToggle()->isChecked());
    EXPECT_EQ(section.httpPortBox()->value(), 7420);
    EXPECT_FALSE(section.newTokenButton()->isEnabled()) << "no token is needed on loopback";

    // A port is written once it is entered, not digit by digit.
    section.httpPortBox()->setFocus();
    section.httpPortBox()->selectAll();
    QTest::keyClicks(section.httpPortBox(), u"8123"_s);
    EXPECT_EQ(f.state.settings().remoteHttpPort, 7420);
    QTest::keyClick(section.httpPortBox(), Qt::Key_Return);
    EXPECT_EQ(f.state.settings().remoteHttpPort, 8123);

    QTest::mouseClick(section.allowOthersToggle(), Qt::LeftButton);
    const QString token = f.state.settings().remoteAccessToken;
    EXPECT_TRUE(f.state.settings().remoteAllowOtherComputers);
    EXPECT_GE(token.size(), 40) << "a token is made when other computers are first allowed";
    EXPECT_EQ(section.tokenBox()->echoMode(), QLineEdit::Password);

    const QString url = u"http://192.168.1.20:8123/?access_token="_s + token;
    section.setStatus(url, u"OSC port 7421: the port is in use by another program"_s);
    EXPECT_FALSE(section.urlText()->text().contains(token)) << "shown masked";
    EXPECT_TRUE(section.problemText()->isVisible());
    EXPECT_TRUE(section.problemText()->text().startsWith(u"\u26A0\uFE0F OSC port 7421"_s));
    QTest::mouseClick(section.copyUrlButton(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), url) << "the copy is the whole address";

    QTest::mouseClick(section.newTokenButton(), Qt::LeftButton);
    EXPECT_NE(f.state.settings().remoteAccessToken, token);
    section.setStatus(url, QString());
    EXPECT_FALSE(section.problemText()->isVisible());

    QTest::mouseClick(section.enabledToggle(), Qt::LeftButton);
    EXPECT_FALSE(f.state.settings().remoteControlEnabled);
    EXPECT_FALSE(section.httpPortBox()->isEnabled());
    EXPECT_EQ(section.urlText()->text(), u"Off"_s);
}

} // namespace
