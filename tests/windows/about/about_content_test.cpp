// The about card as the core opens it: the content builder inside the real card window, its links
// reaching the core's workspace, and a screenshot for review (cards_screenshots/).

#include "app/app_coordinator.hpp"
#include "platform/sim/recording_crash_reporter.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_environment.hpp"
#include "platform/sim/sim_move_to_applications.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_updater.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "ui/cards/cards_test_support.hpp"
#include "ui/cards/glass_card_window.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/window_identifier.hpp"
#include "windows/about/about_content.hpp"
#include "windows/about/about_view.hpp"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <asio/io_context.hpp>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::CardServices;
using testing::runQueued;

// The core is built but its main executor never runs: only its window calls are exercised.
class AboutContentTest : public ::testing::Test {
protected:
    AboutContentTest() {
        factory->setContentBuilder(CardWindowContent::about,
                                   aboutContentBuilder(desktop.workspace()));
        CoordinatorDependencies dependencies;
        dependencies.main = main.get_executor();
        dependencies.accessibility = desktop.accessibility();
        dependencies.workspace = desktop.workspace();
        dependencies.screens = desktop.screens();
        dependencies.secretStore = std::make_shared<SimSecretStore>();
        dependencies.userDefaults = std::make_shared<SimUserDefaults>();
        dependencies.environment = std::make_shared<SimEnvironment>();
        dependencies.crashReporter = std::make_shared<RecordingCrashReporter>();
        dependencies.updater = std::make_shared<SimUpdater>();
        dependencies.moveToApplications = std::make_shared<SimMoveToApplications>();
        dependencies.spinner = std::make_shared<testing::FakeSpinnerOverlay>();
        dependencies.notchPasscodePanel = std::make_shared<testing::FakeNotchPasscodePanel>();
        dependencies.onboardingWindow = std::make_shared<testing::FakeOnboardingWindow>();
        dependencies.cardWindows = factory;
        dependencies.windowFocus = cards.focus;
        dependencies.keyEvents = desktop.keyboard().eventSource(main.get_executor());
        dependencies.makeTextMonitor = [](std::shared_ptr<AccessibilityMonitor>,
                                          std::string pattern) {
            return std::make_shared<testing::FakeTextMonitor>(std::move(pattern));
        };
        dependencies.endpoints = {"http://127.0.0.1:9", "http://127.0.0.1:9", "test-key"};
        dependencies.configFile = folder.filePath("config.json").toStdString();
        coordinator = AppCoordinator::create(std::move(dependencies));
    }

    ~AboutContentTest() override {
        coordinator.reset();
        runQueued();
    }

    GlassCardWindow* aboutWindow() const {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* card = dynamic_cast<GlassCardWindow*>(widget);
                card && card->isVisible() && windowIdentifier(*card) == "about")
                return card;
        return nullptr;
    }

    asio::io_context main;
    QTemporaryDir folder;
    SimDesktop desktop;
    CardServices cards;
    std::shared_ptr<QtCardWindowFactory> factory =
        std::make_shared<QtCardWindowFactory>(cards.services());
    std::shared_ptr<AppCoordinator> coordinator;
};

TEST_F(AboutContentTest, TheCoreOpensTheAboutViewAndItsLinksReachTheWorkspace) {
    coordinator->showAbout();
    runQueued();
    GlassCardWindow* window = aboutWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(dynamic_cast<AboutView*>(window->content()), nullptr);

    testing::saveScreenshot(*window, QStringLiteral("about_window"));

    window->content()->findChild<QPushButton*>(QStringLiteral("AboutSupportLink"))->click();
    EXPECT_EQ(desktop.openedURLs(), std::vector<std::string>{"mailto:support@pennial.com"});

    // Closed and opened again: a fresh view in a new window.
    window->close();
    runQueued();
    coordinator->showAbout();
    runQueued();
    ASSERT_NE(aboutWindow(), nullptr);
    EXPECT_NE(dynamic_cast<AboutView*>(aboutWindow()->content()), nullptr);
}

} // namespace
} // namespace pennial
