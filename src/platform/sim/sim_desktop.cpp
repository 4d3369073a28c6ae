#include "platform/sim/sim_desktop.hpp"

#include "platform/sim/sim_accessibility.hpp"
#include "platform/sim/sim_desktop_state.hpp"
#include "platform/sim/sim_screens.hpp"
#include "platform/sim/sim_workspace.hpp"

namespace pennial {

namespace {

// One full-HD screen with a panel along its top edge.
Screen defaultScreen() {
    Screen screen;
    screen.frame = {{0, 0}, {1920, 1080}};
    screen.visibleFrame = {{0, 0}, {1920, 1048}};
    return screen;
}

} // namespace

SimDesktop::SimDesktop(SimTime time)
    : state_(std::make_shared<SimDesktopState>(time)),
      accessibility_(std::make_shared<SimAccessibility>(state_)),
      workspace_(std::make_shared<SimWorkspace>(state_)),
      screens_(std::make_shared<SimScreens>(state_)),
      keyboard_(std::make_shared<SimKeyboard>(state_)),
      synthesizer_(std::make_shared<SimKeyboardSynthesizer>(keyboard_)) {
    state_->systemWide->label("system-wide");
    state_->screens = {defaultScreen()};
}

SimDesktop::~SimDesktop() = default;

std::shared_ptr<SimApplication> SimDesktop::addApplication(RunningApplication info) {
    auto application = std::make_shared<SimApplication>(std::move(info));
    std::lock_guard lock(state_->mutex);
    state_->applications.insert_or_assign(application->pid(), application);
    return application;
}

std::shared_ptr<SimApplication> SimDesktop::application(Pid pid) const {
    std::lock_guard lock(state_->mutex);
    return state_->applicationLocked(pid);
}

void SimDesktop::removeApplication(Pid pid) {
    std::shared_ptr<SimApplication> application;
    {
        std::lock_guard lock(state_->mutex);
        application = state_->applicationLocked(pid);
        state_->applications.erase(pid);
        if (state_->frontmost == pid)
            state_->frontmost.reset();
    }
    if (application)
        application->element()->destroy();
}

SimElementPtr SimDesktop::systemWide() const {
    return state_->systemWide;
}

void SimDesktop::focus(const SimElementPtr& element) {
    auto application = this->application(element->pid());
    if (application) {
        for (auto ancestor = element; ancestor; ancestor = ancestor->parent())
            if (ancestor->role() == ax::role::window) {
                application->focusWindow(ancestor);
                break;
            }
    }
    {
        std::lock_guard lock(state_->mutex);
        state_->focused = element;
    }
    if (application)
        activate(application->pid());
}

void SimDesktop::clearFocus() {
    std::lock_guard lock(state_->mutex);
    state_->focused.reset();
}

void SimDesktop::activate(Pid pid) {
    std::optional<RunningApplication> activated;
    {
        std::lock_guard lock(state_->mutex);
        if (state_->frontmost == pid)
            return;
        state_->frontmost = pid;
        if (pid == state_->ownProcess.processIdentifier)
            activated = state_->ownProcess;
        else if (auto application = state_->applicationLocked(pid))
            activated = application->info();
    }
    if (activated)
        SimWorkspace::notifyActivation(*state_, *activated);
}

void SimDesktop::clearFrontmost() {
    std::lock_guard lock(state_->mutex);
    state_->frontmost.reset();
}

void SimDesktop::setTrusted(bool trusted) {
    std::lock_guard lock(state_->mutex);
    state_->trusted = trusted;
}

void SimDesktop::setGrantTrustOnPrompt(bool grant) {
    std::lock_guard lock(state_->mutex);
    state_->grantTrustOnPrompt = grant;
}

int SimDesktop::trustPromptCount() const {
    std::lock_guard lock(state_->mutex);
    return state_->trustPrompts;
}

const RunningApplication& SimDesktop::ownProcess() const {
    return state_->ownProcess;
}

void SimDesktop::setOwnWindows(std::vector<OwnWindow> windows) {
    std::lock_guard lock(state_->mutex);
    state_->ownWindows = std::move(windows);
}

std::vector<std::string> SimDesktop::openedURLs() const {
    std::lock_guard lock(state_->mutex);
    return state_->openedURLs;
}

void SimDesktop::setScreens(std::vector<Screen> screens, std::size_t mainScreen) {
    std::lock_guard lock(state_->mutex);
    state_->screens = std::move(screens);
    state_->mainScreen = mainScreen;
}

SimClock& SimDesktop::clock() const {
    return state_->clock;
}

SimClock::Clock::time_point SimDesktop::now() const {
    return state_->clock.now();
}

void SimDesktop::setCallLatency(SimClock::Clock::duration latency) {
    std::lock_guard lock(state_->mutex);
    state_->callLatency = latency;
}

std::shared_ptr<SimClipboard> SimDesktop::clipboard() const {
    return state_->clipboard;
}

SimCallLog& SimDesktop::callLog() const {
    return state_->log;
}

} // namespace pennial
