// The factory behind the core's settings and about cards, driven by a real coordinator: the
// builders it is handed, the cards' specs, and the core's reuse rules on real windows.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "cards_test_support.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "support/sim_coordinator_dependencies.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/window_identifier.hpp"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::CardServices;
using testing::runQueued;

// The core is built but its main executor never runs: only its window calls are exercised.
class CardWindowFactoryTest : public ::testing::Test {
protected:
    CardWindowFactoryTest() {
        auto dependencies = testing::simCoordinatorDependencies(
            desktop, main.get_executor(), folder.filePath("config.json").toStdString());
        dependencies.cardWindows = factory;
        dependencies.windowFocus = cards.focus;
        coordinator = AppCoordinator::create(std::move(dependencies));
    }

    ~CardWindowFactoryTest() override {
        coordinator.reset();
        runQueued();
    }

    // The cards of ours that exist, by identifier.
    std::vector<GlassCardWindow*> windows(const std::string& id) const {
        std::vector<GlassCardWindow*> found;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* card = dynamic_cast<GlassCardWindow*>(widget);
                card && windowIdentifier(*card) == id)
                found.push_back(card);
        return found;
    }

    asio::io_context main;
    QTemporaryDir folder;
    SimDesktop desktop;
    CardServices cards;
    std::shared_ptr<QtCardWindowFactory> factory =
        std::make_shared<QtCardWindowFactory>(cards.services());
    std::shared_ptr<AppCoordinator> coordinator;
    LogCapture log;
};

TEST_F(CardWindowFactoryTest, SettingsAreBuiltAnewOnTheRequestedTab) {
    std::vector<int> tabs;
    factory->setContentBuilder(CardWindowContent::settings, [&](AppCoordinator& core) {
        EXPECT_EQ(&core, coordinator.get());
        tabs.push_back(core.initialSettingsTab());
        return std::make_unique<QLabel>(QStringLiteral("settings"));
    });

    coordinator->showSettings(0);
    ASSERT_EQ(windows("settings").size(), 1u);
    QPointer<GlassCardWindow> first = windows("settings").front();
    EXPECT_TRUE(first->isResizable());
    EXPECT_EQ(first->minimumSize(), QSize(720, 600));
    EXPECT_NE(first->titleBar()->logo(), nullptr);
    ASSERT_NE(first->content(), nullptr);

    coordinator->showSettings(1);
    runQueued();
    EXPECT_TRUE(first.isNull()) << "the open settings card was closed";
    ASSERT_EQ(windows("settings").size(), 1u);
    EXPECT_TRUE(windows("settings").front()->isVisible());
    EXPECT_EQ(tabs, (std::vector<int>{0, 1}));
    EXPECT_FALSE(log.contains("🪟 [WindowFocus] No user windows left (policy: accessory)"))
        << "the new card was already up when the old one's close was looked at";
}

TEST_F(CardWindowFactoryTest, AboutIsKeptAndBroughtForwardAndEmptyWithoutABuilder) {
    factory->setContentBuilder(CardWindowContent::about,
                               [](AppCoordinator&) { return std::make_unique<QLabel>(); });
    factory->setContentBuilder(CardWindowContent::about, nullptr);

    coordinator->showAbout();
    ASSERT_EQ(windows("about").size(), 1u);
    GlassCardWindow* about = windows("about").front();
    EXPECT_EQ(about->content(), nullptr) << "no placeholder in a card without a view";
    EXPECT_EQ(about->maximumSize(), QSize(324, 284));
    EXPECT_EQ(about->titleBar()->logo(), nullptr);

    coordinator->showAbout();
    EXPECT_EQ(windows("about"), std::vector<GlassCardWindow*>{about});
    EXPECT_TRUE(log.contains("🪟 [WindowFocus] Focusing window id=about"));

    about->close();
    runQueued();
    EXPECT_TRUE(windows("about").empty());
    coordinator->showAbout();
    EXPECT_EQ(windows("about").size(), 1u) << "shown again in a new window after a close";
}

} // namespace
} // namespace pennial
