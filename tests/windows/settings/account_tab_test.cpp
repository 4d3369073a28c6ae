#include "settings_fixture.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/settings/account_tab.hpp"
#include "windows/settings/settings_view.hpp"

#include <QLabel>

namespace pennial::testing {
namespace {

using AccountTabTest = SettingsFixture;

TEST_F(AccountTabTest, ShowsTheSignedInAddressUntilSignOut) {
    storeSession("Ada.Lovelace+Notes@Example.test");
    launch();
    SettingsView* view = openSettings(SettingsView::accountTab);
    ASSERT_NE(view, nullptr);
    auto* tab = dynamic_cast<AccountTab*>(view->content());
    ASSERT_NE(tab, nullptr);
    QLabel* line = tab->identityLine();
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("Signed in as Ada.Lovelace+Notes@Example.test"));
    EXPECT_EQ(line->font(), PNTypography::caption());
    EXPECT_EQ(line->palette().color(QPalette::WindowText), PNColor::textSecondary());
    EXPECT_EQ(line->mapTo(tab, QPoint(0, 0)).y(), 24);
    EXPECT_NEAR(line->geometry().center().x(), tab->rect().center().x(), 1);
    saveScreenshot(view->window(), QStringLiteral("account_tab"));

    // Sign-out closes the settings card for the sign-in step; a tab still open follows it.
    auto own = makeView(SettingsView::accountTab);
    QLabel* ownLine = dynamic_cast<AccountTab*>(own->content())->identityLine();
    EXPECT_TRUE(ownLine->isVisible());
    await(coordinator->signOut());
    EXPECT_FALSE(ownLine->isVisible());
}

TEST_F(AccountTabTest, ShowsNothingWhileSignedOut) {
    launch();
    auto view = makeView(SettingsView::accountTab);
    auto* tab = dynamic_cast<AccountTab*>(view->content());
    ASSERT_NE(tab, nullptr);
    EXPECT_FALSE(tab->identityLine()->isVisible());
}

} // namespace
} // namespace pennial::testing
