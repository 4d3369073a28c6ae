#pragma once
// The coordinator as the application composes it on the Linux desktop, in this process: AT-SPI,
// X11 keys, the Qt clipboard and executor, the session in the desktop's keyring. The fake backend
// stands in for both backends (through the environment's address overrides), and fake windows for
// the user interface. Settings and configuration live in a folder of the test's own.

#include "app/app_coordinator.hpp"
#include "app/temp_folder.hpp"
#include "base/log.hpp"
#include "desktop_session.hpp"
#include "support/app_fake_card_windows.hpp"
#include "support/app_fake_notch_passcode_panel.hpp"
#include "support/app_fake_onboarding_window.hpp"
#include "support/app_fake_spinner_overlay.hpp"
#include "support/app_fake_window_focus.hpp"
#include "support/fake_backend.hpp"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace pennial::e2e {

class LinuxCoordinatorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A returning user who went through onboarding and whose session is in the keyring; answers
    // the user's id.
    std::string signIn();
    // Builds the coordinator and waits until it has started up and is monitoring.
    void launch();
    // A command the configuration file holds besides the defaults.
    void addCommand(std::string name, std::string content, bool replaceText);

    // What launch() gives the coordinator.
    CoordinatorTimings timings;
    // When set, the overlay the coordinator is given in place of the recording one (which it may
    // pass on to).
    std::function<std::shared_ptr<SpinnerOverlay>(std::shared_ptr<testing::FakeSpinnerOverlay>,
                                                  std::shared_ptr<Screens>)>
        overlayAround;
    testing::TempFolder folder;
    testing::FakeBackend backend;
    LogCapture log;
    std::shared_ptr<testing::FakeOnboardingWindow> onboarding;
    std::shared_ptr<testing::FakeSpinnerOverlay> overlay;
    std::shared_ptr<AppCoordinator> coordinator;

private:
    void writeConfiguration();
    std::vector<Command> extraCommands_;
    std::string signedInUser_;
};

} // namespace pennial::e2e
