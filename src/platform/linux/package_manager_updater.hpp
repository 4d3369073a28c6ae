#pragma once
// The Linux build is updated by the system's package manager, not by the application: starting
// always works, a check may always be asked for and answers with a notice saying so, and no update
// is ever reported by the application itself.

#include "platform/updater.hpp"

#include <string>

namespace pennial {

class PackageManagerUpdater final : public Updater {
public:
    using NoticePresenter = std::function<void(const std::string& notice)>;

    static constexpr const char* notice = "Pennial is updated by your system's package manager. "
                                          "Use it to install the latest version.";

    // present shows the notice to the user; without one the notice is logged.
    explicit PackageManagerUpdater(NoticePresenter present = {});

    void startUpdater() override {}
    void checkForUpdates() override;
    bool canCheckForUpdates() const override { return true; }
    void setCanCheckForUpdatesHandler(std::function<void(bool)>) override {}
    void setUpdateFoundHandler(std::function<void()>) override {}

private:
    NoticePresenter present_;
};

} // namespace pennial
