// The settings window on small screens at scales 1, 1.5 and 2: inside the free area, its tabs in
// view on every tab, and what does not fit scrolls rather than being squeezed; a screenshot on
// the smallest (settings_screenshots/fit_*).

#include "platform/sim/sim_desktop.hpp"
#include "settings_fixture.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/small_screen_windows.hpp"
#include "windows/settings/settings_tab_button.hpp"
#include "windows/settings/settings_view.hpp"

#include <QScrollArea>
#include <QScrollBar>

namespace pennial::testing {
namespace {

using SettingsWindowFit = SettingsFixture;

TEST_F(SettingsWindowFit, OnThisScreenTheTabsStayInViewAndTheRestScrolls) {
    launch();
    for (const bool panelAtTop : {true, false}) {
        SCOPED_TRACE(panelAtTop ? "panel at the top" : "panel at the bottom");
        PanelledScreens screens(panelAtTop);
        desktop().setScreens(screens.screens());
        for (const int tab :
             {SettingsView::generalTab, SettingsView::commandsTab, SettingsView::accountTab}) {
            SCOPED_TRACE(tab);
            SettingsView* view = openSettings(tab);
            ASSERT_NE(view, nullptr);
            runUntil([] { return false; }, std::chrono::milliseconds(20)); // settled
            for (int index = 0; index < 3; ++index)
                EXPECT_TRUE(fitsWithButtonInView(*view->window(), *view->tabButton(index),
                                                 screens.freeArea()));
            // What the view needs is there, by scrolling where the window is smaller; in a
            // window large enough nothing scrolls.
            const QSize least = view->minimumSizeHint();
            EXPECT_GE(view->width(), least.width());
            EXPECT_GE(view->height(), least.height());
            const QScrollArea* scroller =
                dynamic_cast<const GlassCardWindow&>(*view->window()).scroller();
            if (least.boundedTo(view->window()->size()) == least)
                EXPECT_FALSE(scroller->verticalScrollBar()->isVisible() ||
                             scroller->horizontalScrollBar()->isVisible());
            if (tab == SettingsView::generalTab && panelAtTop)
                saveScreenshot(view->window(), "fit_general_" + screenName());
        }
    }
}

TEST_F(SettingsWindowFit, AtEachScaleOnSmallScreens) {
    for (const auto& screen : smallScaledScreens())
        EXPECT_TRUE(passesOn(
            screen,
            QStringLiteral("SettingsWindowFit.OnThisScreenTheTabsStayInViewAndTheRestScrolls")));
}

} // namespace
} // namespace pennial::testing
