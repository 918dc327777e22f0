#include "editortestsupport.h"

#include "editors/remotecontrolsection.h"
#include "editors/toggle.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace tavix {
namespace {

TEST(RemoteControlSection, EditsTheRemoteKeysAndShowsTheAddressWithTheTokenMasked) {
    test::EditorFixture f;
    RemoteControlSection section(f.state.get(), 160);
    section.show();
    EXPECT_TRUE(section.enabledToggle()->isChecked()) << "on by default";
    EXPECT_FALSE(section.allowOthersToggle()->isChecked());
    EXPECT_EQ(section.httpPortBox()->value(), 7420);
    EXPECT_FALSE(section.newTokenButton()->isEnabled()) << "no token is needed on loopback";

    // A port is written once it is entered, not digit by digit.
    section.httpPortBox()->setFocus();
    section.httpPortBox()->selectAll();
    QTest::keyClicks(section.httpPortBox(), QStringLiteral("8123"));
    EXPECT_EQ(f.state->settings().remoteHttpPort, 7420);
    QTest::keyClick(section.httpPortBox(), Qt::Key_Return);
    EXPECT_EQ(f.state->settings().remoteHttpPort, 8123);

    QTest::mouseClick(section.allowOthersToggle(), Qt::LeftButton);
    const QString token = f.state->settings().remoteAccessToken;
    EXPECT_TRUE(f.state->settings().remoteAllowOtherComputers);
    EXPECT_GE(token.size(), 40) << "a token is made when other computers are first allowed";
    EXPECT_EQ(section.tokenBox()->echoMode(), QLineEdit::Password);

    const QString url = QStringLiteral("http://192.168.1.20:8123/?access_token=") + token;
    section.setStatus(url, QStringLiteral("OSC port 7421: the port is in use by another program"));
    EXPECT_FALSE(section.urlText()->text().contains(token)) << "shown masked";
    EXPECT_TRUE(section.problemText()->isVisible());
    EXPECT_TRUE(section.problemText()->text().startsWith(QStringLiteral("\u26A0\uFE0F OSC port 7421")));
    QTest::mouseClick(section.copyUrlButton(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), url) << "the copy is the whole address";

    QTest::mouseClick(section.newTokenButton(), Qt::LeftButton);
    EXPECT_NE(f.state->settings().remoteAccessToken, token);
    section.setStatus(url, QString());
    EXPECT_FALSE(section.problemText()->isVisible());

    QTest::mouseClick(section.enabledToggle(), Qt::LeftButton);
    EXPECT_FALSE(f.state->settings().remoteControlEnabled);
    EXPECT_FALSE(section.httpPortBox()->isEnabled());
    EXPECT_EQ(section.urlText()->text(), QStringLiteral("Off"));
}

} // namespace
} // namespace tavix
