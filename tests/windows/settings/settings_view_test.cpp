#include "settings_fixture.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/design/pn_color.hpp"
#include "windows/settings/account_tab.hpp"
#include "windows/settings/general_tab.hpp"
#include "windows/settings/settings_tab_button.hpp"
#include "windows/settings/settings_view.hpp"

#include <QLineEdit>
#include <QPointer>

namespace pennial::testing {
namespace {

using SettingsViewTest = SettingsFixture;

void expectOnlySelected(SettingsView& view, int selected) {
    for (int index = 0; index < 3; ++index) {
        SCOPED_TRACE(index);
        auto* tab = view.tabButton(index);
        EXPECT_EQ(tab->isSelected(), index == selected);
        EXPECT_EQ(tab->titleColor(),
                  index == selected ? PNColor::textPrimary() : PNColor::textSecondary());
        EXPECT_EQ(tab->selectionMark().isEmpty(), index != selected);
    }
}

TEST_F(SettingsViewTest, OpensOnTheTabTheCoordinatorWasAskedFor) {
    launch();
    SettingsView* fromMenu = openSettings(SettingsView::generalTab);
    ASSERT_NE(fromMenu, nullptr);
    EXPECT_EQ(fromMenu->selectedTab(), SettingsView::generalTab);
    EXPECT_NE(dynamic_cast<GeneralTab*>(fromMenu->content()), nullptr);
    expectOnlySelected(*fromMenu, 0);
    // The mark lies on the bar's lower edge, just above the divider.
    auto* general = fromMenu->tabButton(0);
    EXPECT_EQ(general->mapTo(fromMenu, general->selectionMark().bottomLeft()).y(),
              fromMenu->tabBar()->geometry().bottom());
    ASSERT_TRUE(
        runUntil([&] { return !static_cast<GeneralTab*>(fromMenu->content())->isLoading(); }));
    saveScreenshot(fromMenu->window(), QStringLiteral("general_tab"));

    // The user moves to Account in this window; the end of onboarding then asks for Commands.
    fromMenu->selectTab(SettingsView::accountTab);
    QPointer<SettingsView> old = fromMenu;
    SettingsView* fromOnboarding = openSettings(SettingsView::commandsTab);
    ASSERT_NE(fromOnboarding, nullptr);
    EXPECT_TRUE(runUntil([&] { return old.isNull() || !old->isVisible(); }));
    EXPECT_NE(fromOnboarding, old.data());
    EXPECT_EQ(fromOnboarding->selectedTab(), SettingsView::commandsTab);
    expectOnlySelected(*fromOnboarding, 1);
    ASSERT_NE(fromOnboarding->content(), nullptr);
    EXPECT_EQ(fromOnboarding->content()->objectName(), QString::fromLatin1(commandsStandIn));
}

TEST_F(SettingsViewTest, EachClickBuildsTheTabAfreshAndDropsTheOneLeft) {
    launch();
    auto view = makeView(SettingsView::generalTab);
    QPointer<QWidget> general = view->content();
    auto* tab = static_cast<GeneralTab*>(general.data());
    ASSERT_TRUE(runUntil([&] { return !tab->isLoading(); }));
    tab->triggerField()->setText(QStringLiteral("!!"));

    view->tabButton(SettingsView::accountTab)->click();
    EXPECT_TRUE(general.isNull());
    EXPECT_NE(dynamic_cast<AccountTab*>(view->content()), nullptr);
    expectOnlySelected(*view, 2);
    view->tabButton(SettingsView::commandsTab)->click();
    EXPECT_EQ(view->content()->objectName(), QString::fromLatin1(commandsStandIn));

    view->tabButton(SettingsView::generalTab)->click();
    auto* again = dynamic_cast<GeneralTab*>(view->content());
    ASSERT_NE(again, nullptr);
    ASSERT_TRUE(runUntil([&] { return !again->isLoading(); }));
    EXPECT_EQ(again->triggerPattern(), QStringLiteral(";;")); // the edit was never saved

    // A click on the selected tab keeps it selected.
    view->tabButton(SettingsView::generalTab)->click();
    expectOnlySelected(*view, 0);
}

TEST_F(SettingsViewTest, AnUnknownTabShowsTheBarWithNothingMarkedAndNoContent) {
    launch();
    auto view = makeView(7);
    EXPECT_EQ(view->content(), nullptr);
    for (int index = 0; index < 3; ++index)
        EXPECT_FALSE(view->tabButton(index)->isSelected());
}

TEST_F(SettingsViewTest, TheTabBarStaysCentredAsTheWindowGrows) {
    launch();
    auto view = makeView(SettingsView::generalTab);
    for (int width : {720, 1100}) {
        view->resize(width, 700);
        runUntil([] { return false; }, std::chrono::milliseconds(5));
        const QRect bar = view->tabBar()->geometry();
        EXPECT_NEAR(bar.center().x(), view->rect().center().x(), 1);
        EXPECT_EQ(bar.top(), CardTitleBar::height); // below the card's title strip
        EXPECT_EQ(view->content()->width(), width);
    }
}

} // namespace
} // namespace pennial::testing
