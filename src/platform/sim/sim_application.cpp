#include "platform/sim/sim_application.hpp"

namespace pennial {

namespace attribute = ax::attribute;

SimApplication::SimApplication(RunningApplication info)
    : info_(std::move(info)), element_(SimElement::make(ax::role::application)) {
    element_->label(info_.localizedName.value_or("application") + "(app)");
    if (info_.localizedName)
        element_->set(std::string(attribute::title), *info_.localizedName);
    element_->acceptWrites(std::string(attribute::manualAccessibility));
    element_->acceptWrites(std::string(attribute::enhancedUserInterface));
    element_->attach(info_.processIdentifier);
}

SimElementPtr SimApplication::addWindow(std::string title) {
    auto window = SimElement::make(ax::role::window);
    window->set(std::string(attribute::title), std::move(title));
    return element_->add(window);
}

std::vector<SimElementPtr> SimApplication::windows() const {
    std::vector<SimElementPtr> windows;
    for (auto& child : element_->children())
        if (child->role() == ax::role::window)
            windows.push_back(child);
    return windows;
}

SimElementPtr SimApplication::focusedWindow() const {
    {
        std::lock_guard lock(mutex_);
        if (auto window = focusedWindow_.lock(); window && !window->isDestroyed())
            return window;
    }
    auto all = windows();
    return all.empty() ? nullptr : all.front();
}

void SimApplication::focusWindow(const SimElementPtr& window) {
    std::lock_guard lock(mutex_);
    focusedWindow_ = window;
}

} // namespace pennial
