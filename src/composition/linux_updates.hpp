#pragma once
// How this installation is updated and installed, chosen by where the program runs from: the
// package manager's updater for a program of the system's packages (and for any other; where apt
// has no source for the package, it asks the signed feed, which then only announces), the signed
// feed's updater for the user's own installation (~/.local/opt/pennial), and the offer to install
// a program run from a download for the user.

#include "app/coordinator_dependencies.hpp"
#include "platform/linux/install/user_install_prompt.hpp"
#include "platform/update_notice.hpp"

#include <functional>
#include <memory>
#include <string>

namespace pennial {

inline constexpr const char* updateFeedURLVariable = "PENNIAL_UPDATE_FEED_URL";

// present shows the update dialog; quit ends this program (after a relaunch). Reads the feed's
// address override from the environment.
std::shared_ptr<Updater> linuxUpdater(const CoordinatorDependencies& dependencies,
                                      UpdateNoticePresenter present, std::function<void()> quit);
// ask and showError are the prompt's modal alerts; quit ends this program after the relaunch.
std::shared_ptr<MoveToApplications>
userInstallPrompt(const CoordinatorDependencies& dependencies, std::function<bool()> ask,
                  std::function<void(const std::string&)> showError, std::string iconSvg,
                  std::function<void()> quit);

} // namespace pennial
