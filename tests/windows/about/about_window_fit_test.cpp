// The about window on small screens at scales 1, 1.5 and 2: inside the free area with its links in
// view.

#include "app/app_coordinator.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "support/sim_coordinator_dependencies.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/small_screen_windows.hpp"
#include "ui/cards/window_identifier.hpp"
#include "windows/about/about_content.hpp"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>

namespace pennial {
namespace {

TEST(AboutWindowFit, OnThisScreenTheLinksStayInView) {
    for (const bool panelAtTop : {true, false}) {
        SCOPED_TRACE(panelAtTop ? "panel at the top" : "panel at the bottom");
        asio::io_context main;
        QTemporaryDir folder;
        SimDesktop desktop;
        testing::SmallScreenCards cards(panelAtTop);
        auto factory = std::make_shared<QtCardWindowFactory>(cards.services());
        factory->setContentBuilder(CardWindowContent::about,
                                   aboutContentBuilder(desktop.workspace()));
        auto dependencies = testing::simCoordinatorDependencies(
            desktop, main.get_executor(), folder.filePath("config.json").toStdString());
        dependencies.cardWindows = factory;
        dependencies.windowFocus = cards.focus;
        auto coordinator = AppCoordinator::create(std::move(dependencies));

        coordinator->showAbout();
        testing::runQueued();
        GlassCardWindow* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* card = dynamic_cast<GlassCardWindow*>(widget);
                card && card->isVisible() && windowIdentifier(*card) == "about")
                window = card;
        ASSERT_NE(window, nullptr);
        for (const char* name : {"AboutWebsiteLink", "AboutSupportLink"}) {
            const auto* link = window->findChild<QPushButton*>(QString::fromLatin1(name));
            ASSERT_NE(link, nullptr);
            EXPECT_TRUE(testing::fitsWithButtonInView(*window, *link, cards.screens->freeArea()));
        }
        coordinator.reset();
        testing::runQueued();
    }
}

TEST(AboutWindowFit, AtEachScaleOnSmallScreens) {
    for (const auto& screen : testing::smallScaledScreens())
        EXPECT_TRUE(testing::passesOn(
            screen, QStringLiteral("AboutWindowFit.OnThisScreenTheLinksStayInView")));
}

} // namespace
} // namespace pennial
