#pragma once
// An actor over the accessibility provider, for callers that hold it as one (the text monitor).
// Its operations only forward; it keeps no state besides the provider.

#include "base/runtime.hpp"
#include "text/accessibility_provider.hpp"

#include <memory>

namespace pennial {

class AccessibilityMonitor : public Actor {
public:
    explicit AccessibilityMonitor(std::shared_ptr<AccessibilityProvider> provider,
                                  Executor base = sharedPool().get_executor());

    const std::shared_ptr<AccessibilityProvider>& provider() const { return provider_; }

    Awaitable<bool> checkPermissions();
    Awaitable<void> requestPermissions();
    // A provider that finds no element throws AccessibilityError noFocusedElement here.
    Awaitable<AccessibleElement> getFocusedElement();
    Awaitable<std::string> getText(AccessibleElement element);
    // expected: see AccessibilityProvider.
    Awaitable<void> setText(std::string text, AccessibleElement element,
                            std::optional<std::string> expected = std::nullopt);
    Awaitable<Point> getCaretPosition(AccessibleElement element);
    Awaitable<Point> getPosition(AccessibleElement element);
    Awaitable<bool> isSecureField(AccessibleElement element);
    Awaitable<void> selectRange(AXRange range, AccessibleElement element,
                                std::optional<std::string> expected = std::nullopt);
    Awaitable<void> replaceRange(AXRange range, std::string text, AccessibleElement element,
                                 std::optional<std::string> expected = std::nullopt);
    Awaitable<std::optional<AppContext>> captureContext(AccessibleElement element);

private:
    std::shared_ptr<AccessibilityProvider> provider_;
};

} // namespace pennial
