#pragma once
// The install-from-download prompt's two modal alerts, as system message boxes. GUI thread.

#include "platform/linux/install/user_install_prompt.hpp"

namespace pennial {

// The question (true for "Install") and the error alert of UserInstallPrompt.
bool askToInstallForUser();
void showUserInstallError(const std::string& body);

} // namespace pennial
