#pragma once
// An updater driven by the test: it can refuse to start, change whether a check may start, and
// report a found update (from any thread, as a real one may).

#include "platform/updater.hpp"

#include <mutex>
#include <optional>
#include <string>

namespace pennial {

class SimUpdater final : public Updater {
public:
    void startUpdater() override;
    void checkForUpdates() override;
    bool canCheckForUpdates() const override;
    void setCanCheckForUpdatesHandler(std::function<void(bool)> handler) override;
    void setUpdateFoundHandler(std::function<void()> handler) override;

    // The next starts throw std::runtime_error with this message.
    void failStart(std::string message);
    void setCanCheckForUpdates(bool canCheck);
    void reportUpdateFound();

    int startCount() const;
    int checkCount() const;

private:
    mutable std::mutex mutex_;
    std::optional<std::string> startFailure_;
    bool canCheck_ = false;
    int starts_ = 0;
    int checks_ = 0;
    std::function<void(bool)> canCheckHandler_;
    std::function<void()> updateFoundHandler_;
};

} // namespace pennial
