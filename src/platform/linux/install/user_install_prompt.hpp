#pragma once
// The start-up's offer, on the first launch of a program run from a download, to install it for
// the user (~/.local/opt/pennial with a desktop entry and an icon) and to relaunch it from there.
// Asked once: the answer, whatever it is, is remembered. A program of the system's packages, of
// the user's installation or of a build tree is never offered.

#include "platform/linux/install/user_installation.hpp"
#include "platform/move_to_applications.hpp"
#include "platform/user_defaults.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace pennial {

class UserInstallPrompt final : public MoveToApplications {
public:
    static constexpr const char* dismissedKey = "hasDismissedMoveToApplications";
    static constexpr const char* questionTitle = "Move Pennial to your applications?";
    static constexpr const char* questionBody =
        "Pennial works best when installed in your applications. Would you like to install it "
        "there now?";
    static constexpr const char* installButton = "Install";
    static constexpr const char* notNowButton = "Not Now";
    static constexpr const char* errorTitle = "Could not move Pennial";
    static constexpr const char* errorBodyPrefix =
        "Please copy Pennial to ~/.local/opt/pennial/ manually. Error: ";

    struct Hooks {
        // The question, modal; true for the install button.
        std::function<bool()> ask;
        // The error alert, modal, with the whole body.
        std::function<void(const std::string& body)> showError;
        // Starts the installed program and ends this one; throws when it cannot start it.
        std::function<void(const std::filesystem::path& program)> relaunch;
    };

    UserInstallPrompt(std::shared_ptr<UserDefaults> defaults, UserInstallation installation,
                      std::filesystem::path program, std::string iconSvg, Hooks hooks);

    void promptIfNeeded() override;

private:
    bool offered() const;

    std::shared_ptr<UserDefaults> defaults_;
    UserInstallation installation_;
    std::filesystem::path program_;
    std::string iconSvg_;
    Hooks hooks_;
};

} // namespace pennial
