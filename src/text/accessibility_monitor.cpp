#include "text/accessibility_monitor.hpp"

#include "text/accessibility_error.hpp"

namespace pennial {

namespace {

Awaitable<bool> checkWith(std::shared_ptr<AccessibilityProvider> provider) {
    co_return provider->checkPermissions();
}

Awaitable<void> requestWith(std::shared_ptr<AccessibilityProvider> provider) {
    provider->requestPermissions();
    co_return;
}

} // namespace

AccessibilityMonitor::AccessibilityMonitor(std::shared_ptr<AccessibilityProvider> provider,
                                           Executor base)
    : Actor(std::move(base)), provider_(std::move(provider)) {}

Awaitable<bool> AccessibilityMonitor::checkPermissions() {
    return onStrand(checkWith(provider_));
}

Awaitable<void> AccessibilityMonitor::requestPermissions() {
    return onStrand(requestWith(provider_));
}

// The monitor holds nothing but the provider, and the provider may be called from several tasks at
// once: the reads the polling loop makes every 100 ms go straight to it rather than hopping through
// a strand of the monitor's own (each hop is a thread switch, and idle polling must stay cheap).
Awaitable<AccessibleElement> AccessibilityMonitor::getFocusedElement() {
    auto element = co_await provider_->getFocusedElement();
    if (!element)
        throw AccessibilityError(AccessibilityError::Kind::noFocusedElement);
    co_return std::move(*element);
}

Awaitable<std::string> AccessibilityMonitor::getText(AccessibleElement element) {
    return provider_->getValue(std::move(element));
}

Awaitable<void> AccessibilityMonitor::setText(std::string text, AccessibleElement element,
                                              std::optional<std::string> expected) {
    return onStrand(provider_->setValue(std::move(text), std::move(element), std::move(expected)));
}

Awaitable<Point> AccessibilityMonitor::getCaretPosition(AccessibleElement element) {
    return onStrand(provider_->getCaretPosition(std::move(element)));
}

Awaitable<Point> AccessibilityMonitor::getPosition(AccessibleElement element) {
    return onStrand(provider_->getPosition(std::move(element)));
}

Awaitable<bool> AccessibilityMonitor::isSecureField(AccessibleElement element) {
    return provider_->isSecureField(std::move(element));
}

Awaitable<void> AccessibilityMonitor::selectRange(AXRange range, AccessibleElement element,
                                                  std::optional<std::string> expected) {
    return onStrand(provider_->selectRange(range, std::move(element), std::move(expected)));
}

Awaitable<void> AccessibilityMonitor::replaceRange(AXRange range, std::string text,
                                                   AccessibleElement element,
                                                   std::optional<std::string> expected) {
    return onStrand(
        provider_->replaceRange(range, std::move(text), std::move(element), std::move(expected)));
}

Awaitable<std::optional<AppContext>>
AccessibilityMonitor::captureContext(AccessibleElement element) {
    return onStrand(provider_->captureContext(std::move(element)));
}

} // namespace pennial
