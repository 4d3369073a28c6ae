#include "text/ax_accessibility_provider.hpp"

#include "base/log.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/ax_reads.hpp"
#include "text/run_on.hpp"

#include <asio/strand.hpp>
#include <cmath>

namespace pennial {

namespace {

using Kind = AccessibilityError::Kind;

// A point a caret may be at: finite, and not the origin that failed reads tend to give.
bool acceptable(const Point& point) {
    return std::isfinite(point.x) && std::isfinite(point.y) && !(point.x == 0 && point.y == 0);
}

Point trailingMiddle(const Rect& rect) {
    return {rect.maxX(), rect.midY()};
}

} // namespace

AXAccessibilityProvider::AXAccessibilityProvider(std::shared_ptr<ContextStrategyRouter> router,
                                                 Facilities facilities)
    : strategyRouter_(std::move(router)), facilities_(std::move(facilities)),
      writes_(asio::make_strand(facilities_.captureExecutor)) {}

bool AXAccessibilityProvider::checkPermissions() {
    return facilities_.accessibility->isProcessTrusted(TrustCheck::silent);
}

void AXAccessibilityProvider::requestPermissions() {
    logLine("🔵 [Pennial] Requesting accessibility permissions...");
    bool trusted = facilities_.accessibility->isProcessTrusted(TrustCheck::prompt);
    logf("🔵 [Pennial] Permissions check result: {}", trusted);
    if (trusted)
        logLine("✅ [Pennial] Permissions already granted");
    else
        logLine("⚠️ [Pennial] Accessibility is still off - turn on assistive technologies in "
                "your desktop's accessibility settings; applications already running may need a "
                "restart");
}

Awaitable<std::optional<AccessibleElement>> AXAccessibilityProvider::getFocusedElement() {
    auto search = std::make_shared<FocusSearch>();
    auto find = [this, search] { return focusedElementNow(*search); };
    if (auto element = co_await runOn(facilities_.captureExecutor, find))
        co_return element;
    // The frontmost application is asked for only when the focused application gave nothing:
    // the look-up takes a trip to the main thread, and the monitor asks on every poll.
    auto lookUpFrontmost = [workspace = facilities_.workspace]() -> std::optional<Pid> {
        auto frontmost = workspace->frontmostApplication();
        return frontmost ? std::optional(frontmost->processIdentifier) : std::nullopt;
    };
    search->frontmost = co_await runOn(facilities_.mainExecutor, std::move(lookUpFrontmost));
    search->fallBackToFrontmost = true;
    co_return co_await runOn(facilities_.captureExecutor, std::move(find));
}

std::optional<AccessibleElement>
AXAccessibilityProvider::focusedElementNow(FocusSearch& search) const {
    auto& ax = *facilities_.accessibility;
    auto read = [&](const AXElement& element, std::string_view attribute) {
        auto result = ax.copyAttributeValue(element, attribute);
        search.apiDisabled = search.apiDisabled || result.error() == AXError::apiDisabled;
        return result;
    };
    // Some toolkits build their accessibility tree only once an assistive client asks for it.
    auto enableAccessibility = [&](const AXElement& application) {
        ax.setAttributeValue(application, ax::attribute::manualAccessibility, true);
        ax.setAttributeValue(application, ax::attribute::enhancedUserInterface, true);
    };
    auto found = [&](AXElement element) {
        return AccessibleElement(std::move(element), facilities_.accessibility);
    };

    if (!search.fallBackToFrontmost) {
        auto systemWide = ax.systemWideElement();
        auto focusedApplication =
            ax::elementOf(read(systemWide, ax::attribute::focusedApplication));
        if (focusedApplication)
            enableAccessibility(*focusedApplication);
        if (auto element = ax::elementOf(read(systemWide, ax::attribute::focusedUIElement)))
            return found(std::move(*element));
        if (focusedApplication)
            if (auto element =
                    ax::elementOf(read(*focusedApplication, ax::attribute::focusedUIElement)))
                return found(std::move(*element));
        return std::nullopt;
    }
    if (search.frontmost) {
        auto application = ax.applicationElement(*search.frontmost);
        enableAccessibility(application);
        if (auto element = ax::elementOf(read(application, ax::attribute::focusedUIElement)))
            return found(std::move(*element));
    }
    throw AccessibilityError(search.apiDisabled ? Kind::permissionDenied : Kind::noFocusedElement);
}

Awaitable<std::string> AXAccessibilityProvider::getValue(AccessibleElement element) {
    auto read = [this, element = element.element()] { return valueNow(element); };
    co_return co_await runOn(facilities_.captureExecutor, std::move(read));
}

std::string AXAccessibilityProvider::valueNow(const AXElement& element) const {
    auto result = facilities_.accessibility->copyAttributeValue(element, ax::attribute::value);
    if (result.error() == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (auto text = result.ok() ? result.value()->asString() : std::nullopt)
        return std::move(*text);
    throw AccessibilityError(Kind::cannotReadValue);
}

std::optional<std::string> AXAccessibilityProvider::readValueText(const AXElement& element) const {
    return ax::readString(*facilities_.accessibility, element, ax::attribute::currentValue);
}

Awaitable<Point> AXAccessibilityProvider::getPosition(AccessibleElement element) {
    auto read = [this, element = element.element()] { return positionNow(element); };
    co_return co_await runOn(facilities_.captureExecutor, std::move(read));
}

Point AXAccessibilityProvider::positionNow(const AXElement& element) const {
    auto result = facilities_.accessibility->copyAttributeValue(element, ax::attribute::position);
    if (result.error() == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (result.ok())
        if (const auto* point = result.value()->get<Point>())
            return *point;
    throw AccessibilityError(Kind::cannotReadValue);
}

Awaitable<Point> AXAccessibilityProvider::getCaretPosition(AccessibleElement element) {
    auto find = [this, element = element.element()] { return caretPointNow(element); };
    if (auto point = co_await runOn(facilities_.captureExecutor, std::move(find)))
        co_return *point;
    auto lookUpScreen = [screens = facilities_.screens] { return screens->mainScreen(); };
    auto screen = co_await runOn(facilities_.mainExecutor, std::move(lookUpScreen));
    co_return screen ? Point{screen->frame.midX(), screen->frame.midY()} : Point{100, 100};
}

std::optional<Point> AXAccessibilityProvider::caretPointNow(const AXElement& element) const {
    auto& ax = *facilities_.accessibility;
    if (auto selection = ax::readBoxed<AXRange>(ax, element, ax::attribute::selectedTextRange)) {
        AXRange caret{selection->location + selection->length, 0};
        auto bounds =
            ax.copyParameterizedAttributeValue(element, ax::parameterized::boundsForRange, caret);
        if (const auto* rect = bounds.ok() ? bounds.value()->get<Rect>() : nullptr)
            if (auto point = trailingMiddle(*rect); acceptable(point))
                return point;
    }
    auto position = ax::readBoxed<Point>(ax, element, ax::attribute::position);
    auto size = ax::readBoxed<Size>(ax, element, ax::attribute::size);
    if (position && size)
        if (auto point = trailingMiddle({*position, *size}); acceptable(point))
            return point;
    if (auto point = positionNow(element); acceptable(point))
        return point;
    return std::nullopt;
}

Awaitable<bool> AXAccessibilityProvider::isSecureField(AccessibleElement element) {
    auto test = [this, element = element.element()] { return isSecureNow(element); };
    co_return co_await runOn(facilities_.captureExecutor, std::move(test));
}

bool AXAccessibilityProvider::isSecureNow(const AXElement& element) const {
    auto& ax = *facilities_.accessibility;
    auto role = ax::readString(ax, element, ax::attribute::role);
    // An element whose role cannot be read might be a password field: its text is not taken.
    if (!role || *role == ax::subrole::secureTextField)
        return true;
    return ax::readString(ax, element, ax::attribute::subrole) == ax::subrole::secureTextField;
}

} // namespace pennial
