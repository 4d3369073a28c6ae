// The tray item on a real coordinator: the tooltip carries the status and the last error, a left
// click opens the menu, and a desktop without a tray (the offscreen platform has none) gets the
// window instead, said once in the log.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/sim_coordinator_dependencies.hpp"
#include "ui/tray/menu_bar_view.hpp"

#include <QApplication>
#include <QTemporaryDir>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using namespace std::chrono_literals;

class MenuBarViewTest : public ::testing::Test {
protected:
    MenuBarViewTest() {
        auto dependencies = testing::simCoordinatorDependencies(
            desktop, main.get_executor(), folder.filePath("config.json").toStdString());
        dependencies.onboardingWindow = onboarding;
        coordinator = AppCoordinator::create(std::move(dependencies));
    }
    ~MenuBarViewTest() override {
        view.reset();
        coordinator.reset();
        main.poll();
    }

    // Turns the main executor and the Qt loop together until done.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main.run_for(2ms);
            QApplication::processEvents();
        }
        return true;
    }

    void openView() {
        view = std::make_unique<MenuBarView>(coordinator, [] {});
    }

    LogCapture log;
    asio::io_context main;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning{main.get_executor()};
    QTemporaryDir folder;
    SimDesktop desktop;
    std::shared_ptr<testing::FakeOnboardingWindow> onboarding =
        std::make_shared<testing::FakeOnboardingWindow>();
    std::shared_ptr<AppCoordinator> coordinator;
    std::unique_ptr<MenuBarView> view;
};

TEST_F(MenuBarViewTest, WithoutATrayTheWindowOpensOnceStartUpHasDecidedWhich) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    openView(); // while the start-up still runs
    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
    ASSERT_TRUE(runUntil([&] { return onboarding->shown.size() >= 2; }))
        << "the start-up's own step, then the one asked for";
    EXPECT_TRUE(onboarding->isOpen);
    EXPECT_EQ(onboarding->lastStage(), OnboardingStage::welcome);
    EXPECT_EQ(log.matching("No system tray").size(), 1u);
    EXPECT_TRUE(log.contains(
        "⚠️ [Pennial] No system tray on this desktop: opening the window instead"));
}

TEST_F(MenuBarViewTest, TheTooltipCarriesTheStatusAndTheLastError) {
    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
    openView();
    EXPECT_EQ(view->trayIcon().toolTip(),
              QStringLiteral("Pennial: Inactive\nConfiguration loaded"));

    // Starting without permission fails with an error the menu never showed.
    desktop.setTrusted(false);
    coordinator->launch(&AppCoordinator::requestPermissions);
    ASSERT_TRUE(runUntil([&] { return !coordinator->hasPermissions(); }));
    coordinator->launch(&AppCoordinator::startMonitoring);
    ASSERT_TRUE(runUntil([&] { return coordinator->lastError().has_value(); }));
    EXPECT_EQ(
        view->trayIcon().toolTip(),
        QStringLiteral("Pennial: Inactive\nTurn on accessibility in your desktop's settings - "
                       "will auto-detect when it is on\nAccessibility permissions required"));
}

TEST_F(MenuBarViewTest, ALeftClickOpensTheMenuAndASecondClosesIt) {
    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
    openView();
    Q_EMIT view->trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(view->menu().isVisible());
    EXPECT_EQ(view->menu().actions().front()->text(), QStringLiteral("Pennial: Inactive"));
    Q_EMIT view->trayIcon().activated(QSystemTrayIcon::Trigger);
    EXPECT_FALSE(view->menu().isVisible());
    Q_EMIT view->trayIcon().activated(QSystemTrayIcon::DoubleClick);
    EXPECT_FALSE(view->menu().isVisible());
}

} // namespace
} // namespace pennial
