#include "platform/linux/install/user_install_prompt.hpp"

#include <exception>

namespace pennial {

namespace fs = std::filesystem;

namespace {

// build/<preset>/src/pennial: a developer's build, never a download.
bool inBuildTree(const fs::path& program) {
    std::error_code error;
    for (auto folder = program.parent_path(); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path())
        if (fs::exists(folder / "CMakeCache.txt", error))
            return true;
    return false;
}

} // namespace

UserInstallPrompt::UserInstallPrompt(std::shared_ptr<UserDefaults> defaults,
                                     UserInstallation installation, fs::path program,
                                     std::string iconSvg, Hooks hooks)
    : defaults_(std::move(defaults)), installation_(std::move(installation)),
      program_(std::move(program)), iconSvg_(std::move(iconSvg)), hooks_(std::move(hooks)) {}

bool UserInstallPrompt::offered() const {
    return !program_.empty() &&
           locateProgram(program_, installation_) == ProgramLocation::elsewhere &&
           !inBuildTree(program_);
}

void UserInstallPrompt::promptIfNeeded() {
    if (defaults_->boolForKey(dismissedKey) || !offered())
        return;
    if (hooks_.ask()) {
        try {
            installation_.install(program_, iconSvg_);
            hooks_.relaunch(installation_.program());
        } catch (const std::exception& error) {
            hooks_.showError(std::string(errorBodyPrefix) + error.what());
        }
    }
    defaults_->setBool(dismissedKey, true);
}

} // namespace pennial
