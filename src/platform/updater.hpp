#pragma once
// The application's update mechanism: started once at launch, asked for a check by the user (it
// presents the outcome itself), and telling when a check may start and when an update was found.

#include <functional>

namespace pennial {

class Updater {
public:
    virtual ~Updater() = default;

    // Throws std::runtime_error (or a subclass) when the updater cannot start.
    virtual void startUpdater() = 0;
    // On main, before the main thread ends: work still under way reports nothing more.
    virtual void stopUpdater() {}
    // A check the user asked for; the updater shows its own outcome.
    virtual void checkForUpdates() = 0;
    virtual bool canCheckForUpdates() const = 0;

    // Called with the new value whenever canCheckForUpdates changes; may come from any thread.
    virtual void setCanCheckForUpdatesHandler(std::function<void(bool)> handler) = 0;
    // Called when a valid update was found; may come from any thread.
    virtual void setUpdateFoundHandler(std::function<void()> handler) = 0;
};

} // namespace pennial
