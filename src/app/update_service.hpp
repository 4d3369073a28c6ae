#pragma once
// The application's update mechanism as the menu sees it: started once at launch, a check on the
// user's request, and two published flags: whether a check may start now, and whether an update
// has been found (the menu's install entry and the tray icon's dot).

#include "app/change_signal.hpp"
#include "base/runtime.hpp"
#include "platform/updater.hpp"

#include <memory>

namespace pennial {

class UpdateService {
public:
    // Lives on main; the updater's reports hop there from whatever thread they come on.
    UpdateService(std::shared_ptr<Updater> updater, Executor main);
    ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    // A failing start is only logged.
    void start();
    // The updater presents the outcome itself.
    void checkForUpdates();

    bool canCheckForUpdates() const;
    // Turns true once per run, when the updater reports a valid update; never back.
    bool updateAvailable() const;
    ChangeSignal& changed();

private:
    struct Published;
    std::shared_ptr<Updater> updater_;
    std::shared_ptr<Published> published_;
};

} // namespace pennial
