#pragma once
// The coordinator as the application composes it on the Linux desktop, in the benchmark's own
// process, with fake windows and its configuration and settings in a folder of the benchmark's;
// monitoring is started by hand, since a plain snippet needs no session. Include it last: it
// brings the typing helpers, and with them Xlib.

#include "app/app_coordinator.hpp"
#include "bench_desktop_keys.hpp"
#include "composition/linux_coordinator_dependencies.hpp"
#include "platform/linux/qt/qt_executor.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_window_focus.hpp"

#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace pennial::bench {

// Answers once the coordinator monitors; accessibility, when given, receives the facility it uses.
inline std::shared_ptr<AppCoordinator>
startMonitoringCoordinator(QtExecutionContext& main, const std::filesystem::path& folder,
                           std::shared_ptr<Accessibility>* accessibility = nullptr) {
    auto dependencies = linuxCoordinatorDependencies(main);
    if (accessibility)
        *accessibility = dependencies.accessibility;
    dependencies.userDefaults = std::make_shared<FileUserDefaults>(folder / "defaults.json");
    dependencies.configFile = folder / "config.json";
    dependencies.spinner = std::make_shared<testing::FakeSpinnerOverlay>();
    dependencies.notchPasscodePanel = std::make_shared<testing::FakeNotchPasscodePanel>();
    dependencies.onboardingWindow = std::make_shared<testing::FakeOnboardingWindow>();
    dependencies.cardWindows = std::make_shared<testing::FakeCardWindowFactory>();
    dependencies.windowFocus = std::make_shared<testing::FakeWindowFocus>();
    auto coordinator = AppCoordinator::create(std::move(dependencies));
    if (!runUntil([&] { return !coordinator->isStarting(); }, 10s))
        throw std::runtime_error("the coordinator did not start");
    asio::co_spawn(main.get_executor(), coordinator->startMonitoring(), asio::detached);
    if (!runUntil([&] { return coordinator->isMonitoring(); }, 10s))
        throw std::runtime_error("monitoring did not start");
    return coordinator;
}

} // namespace pennial::bench
