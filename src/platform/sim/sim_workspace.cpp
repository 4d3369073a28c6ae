#include "platform/sim/sim_workspace.hpp"

#include <asio/post.hpp>

namespace pennial {

std::optional<RunningApplication> SimWorkspace::frontmostApplication() {
    std::optional<RunningApplication> frontmost;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->frontmost) {
            if (*state_->frontmost == state_->ownProcess.processIdentifier)
                frontmost = state_->ownProcess;
            else if (auto application = state_->applicationLocked(*state_->frontmost))
                frontmost = application->info();
        }
    }
    state_->log.record(SimCall::of(SimCallKind::frontmostApplication));
    return frontmost;
}

Pid SimWorkspace::currentProcessId() {
    std::lock_guard lock(state_->mutex);
    return state_->ownProcess.processIdentifier;
}

std::vector<OwnWindow> SimWorkspace::ownWindows() {
    std::vector<OwnWindow> windows;
    {
        std::lock_guard lock(state_->mutex);
        windows = state_->ownWindows;
    }
    state_->log.record(SimCall::of(SimCallKind::ownWindows));
    return windows;
}

Subscription SimWorkspace::observeApplicationActivation(Executor executor,
                                                        ActivationHandler handler) {
    int id;
    {
        std::lock_guard lock(state_->mutex);
        id = state_->nextObserver++;
        state_->activationObservers.emplace(
            id, SimDesktopState::ActivationObserver{std::move(executor), std::move(handler)});
    }
    std::weak_ptr<SimDesktopState> weakState = state_;
    return Subscription([weakState, id] {
        if (auto state = weakState.lock()) {
            std::lock_guard lock(state->mutex);
            state->activationObservers.erase(id);
        }
    });
}

void SimWorkspace::notifyActivation(SimDesktopState& state, const RunningApplication& app) {
    std::vector<SimDesktopState::ActivationObserver> observers;
    {
        std::lock_guard lock(state.mutex);
        for (const auto& [id, observer] : state.activationObservers)
            observers.push_back(observer);
    }
    for (auto& observer : observers)
        asio::post(observer.executor, [handler = observer.handler, app] { handler(app); });
}

bool SimWorkspace::openURL(const std::string& url) {
    {
        std::lock_guard lock(state_->mutex);
        state_->openedURLs.push_back(url);
    }
    state_->log.record(SimCall::of(SimCallKind::openURL, {}, url));
    return true;
}

} // namespace pennial
