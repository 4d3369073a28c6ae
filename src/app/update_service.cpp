#include "app/update_service.hpp"

#include "base/log.hpp"

#include <asio/post.hpp>
#include <stdexcept>

namespace pennial {

struct UpdateService::Published {
    bool canCheckForUpdates = false;
    bool updateAvailable = false;
    ChangeSignal changed;

    void setCanCheckForUpdates(bool value) {
        if (canCheckForUpdates == value)
            return;
        canCheckForUpdates = value;
        changed.notify();
    }
    void markUpdateAvailable() {
        if (updateAvailable)
            return;
        updateAvailable = true;
        changed.notify();
    }
};

UpdateService::UpdateService(std::shared_ptr<Updater> updater, Executor main)
    : updater_(std::move(updater)), published_(std::make_shared<Published>()) {
    std::weak_ptr<Published> weak = published_;
    // The initial value at once, every later one as it comes.
    published_->canCheckForUpdates = updater_->canCheckForUpdates();
    updater_->setCanCheckForUpdatesHandler([weak, main](bool value) {
        asio::post(main, [weak, value] {
            if (auto published = weak.lock())
                published->setCanCheckForUpdates(value);
        });
    });
    updater_->setUpdateFoundHandler([weak, main] {
        asio::post(main, [weak] {
            if (auto published = weak.lock())
                published->markUpdateAvailable();
        });
    });
}

UpdateService::~UpdateService() {
    updater_->stopUpdater();
    updater_->setCanCheckForUpdatesHandler({});
    updater_->setUpdateFoundHandler({});
}

void UpdateService::start() {
    try {
        updater_->startUpdater();
    } catch (const std::exception& e) {
        logf("⚠️  [UpdateService] Failed to start updater: {}", e.what());
    }
}

void UpdateService::checkForUpdates() {
    updater_->checkForUpdates();
}

bool UpdateService::canCheckForUpdates() const {
    return published_->canCheckForUpdates;
}

bool UpdateService::updateAvailable() const {
    return published_->updateAvailable;
}

ChangeSignal& UpdateService::changed() {
    return published_->changed;
}

} // namespace pennial
