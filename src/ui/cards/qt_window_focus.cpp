#include "ui/cards/qt_window_focus.hpp"

#include "base/log.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/window_identifier.hpp"

#include <QWidget>
#include <algorithm>
#include <array>
#include <string_view>

namespace pennial {

namespace {

constexpr std::array<std::string_view, 3> userWindowIdentifiers{"settings", "about", "onboarding"};

std::string_view policyName(ActivationPolicy policy) {
    switch (policy) {
    case ActivationPolicy::regular:
        return "regular";
    case ActivationPolicy::accessory:
        return "accessory";
    case ActivationPolicy::prohibited:
        return "prohibited";
    }
    return "unknown";
}

} // namespace

QtWindowFocus::QtWindowFocus(std::shared_ptr<OwnWindowRegistry> ownWindows, ActivationPolicy policy)
    : ownWindows_(std::move(ownWindows)), policy_(policy) {}

void QtWindowFocus::focus(QWidget& window) {
    logf("🪟 [WindowFocus] Focusing window id={}", windowIdentifier(window).value_or("none"));
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

void QtWindowFocus::showAppForUserInteraction() {
    if (policy_ == ActivationPolicy::prohibited)
        policy_ = ActivationPolicy::accessory;
    logf("🪟 [WindowFocus] Activating app (policy: {})", policyName(policy_));
}

void QtWindowFocus::restoreAccessoryIfNoUserWindows() {
    const auto windows = ownWindows_->ownWindows();
    const bool anyLeft = std::any_of(windows.begin(), windows.end(), [](const OwnWindow& window) {
        return std::find(userWindowIdentifiers.begin(), userWindowIdentifiers.end(),
                         window.identifier) != userWindowIdentifiers.end();
    });
    if (!anyLeft)
        logf("🪟 [WindowFocus] No user windows left (policy: {})", policyName(policy_));
}

} // namespace pennial
