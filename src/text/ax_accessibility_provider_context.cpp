// The provider's context capture: who the user is typing to (the frontmost application), and where
// (the element's window, its document and the text around the field), all within one deadline.

#include "base/log.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/ax_reads.hpp"
#include "text/context_limits.hpp"
#include "text/run_on.hpp"
#include "text/text_processing.hpp"

#include <cctype>

namespace pennial {

namespace {

constexpr std::chrono::duration<double> windowLookupTimeout{0.1};

std::optional<AXElement> focusedWindowOf(const CaptureScope& scope, Pid pid) {
    auto application = scope.applicationElement(pid);
    scope.setTimeout(application, windowLookupTimeout);
    auto window = scope.readElement(application, ax::attribute::focusedWindow);
    if (window)
        scope.setTimeout(*window, windowLookupTimeout);
    return window;
}

std::optional<std::string> windowTitle(const CaptureScope& scope, Pid pid) {
    auto window = focusedWindowOf(scope, pid);
    return window ? scope.readString(*window, ax::attribute::title) : std::nullopt;
}

bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// What an address parser accepts: printable ASCII without the characters addresses may not hold,
// and every percent sign starting an escape.
bool parsesAsURL(std::string_view text) {
    if (text.empty())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20 || c >= 0x7F ||
            std::string_view("<>\"{}|\\^`").find(static_cast<char>(c)) != std::string_view::npos)
            return false;
        if (c == '%' &&
            (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])))
            return false;
    }
    return true;
}

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            decoded +=
                static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return unicode::sanitizeUtf8(decoded);
}

// The path of a "file:" address, without its host part.
std::optional<std::string> filePath(std::string_view url) {
    constexpr std::string_view scheme = "file:";
    if (url.size() < scheme.size() || unicode::lowercased(url.substr(0, scheme.size())) != scheme)
        return std::nullopt;
    auto rest = url.substr(scheme.size());
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        auto slash = rest.find('/');
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    if (auto query = rest.find_first_of("?#"); query != std::string_view::npos)
        rest = rest.substr(0, query);
    return percentDecoded(rest);
}

std::optional<std::string> documentPath(const CaptureScope& scope, Pid pid) {
    auto window = focusedWindowOf(scope, pid);
    auto document = window ? scope.readString(*window, ax::attribute::document) : std::nullopt;
    if (!document || !parsesAsURL(*document))
        return std::nullopt;
    if (auto path = filePath(*document))
        return path;
    return document;
}

} // namespace

Awaitable<std::optional<AppContext>>
AXAccessibilityProvider::captureContext(AccessibleElement target) {
    auto deadline = CaptureDeadline::after(context_limits::captureDeadline, facilities_.now);
    const auto element = target.element();
    auto readPid = [accessibility = facilities_.accessibility, element] {
        auto pid = accessibility->processId(element);
        return pid.ok() ? *pid.value() : Pid{0};
    };
    auto pid = co_await runOn(facilities_.captureExecutor, std::move(readPid));
    auto lookUpFrontmost = [workspace = facilities_.workspace] {
        return workspace->frontmostApplication();
    };
    auto frontmost = co_await runOn(facilities_.mainExecutor, std::move(lookUpFrontmost));
    auto capture = [this, element, pid, frontmost, deadline] {
        return contextNow(element, pid, frontmost, deadline);
    };
    co_return co_await runOn(facilities_.captureExecutor, std::move(capture));
}

AppContext AXAccessibilityProvider::contextNow(const AXElement& element, Pid pid,
                                               const std::optional<RunningApplication>& frontmost,
                                               const CaptureDeadline& deadline) const {
    AppContext context;
    context.appName = frontmost && frontmost->localizedName ? *frontmost->localizedName : "Unknown";
    context.bundleIdentifier =
        frontmost && frontmost->bundleIdentifier ? *frontmost->bundleIdentifier : "unknown";
    CaptureScope scope(*facilities_.accessibility, deadline, CaptureScope::Answers::keepFirst);
    scope.setFocusedElement(element);
    context.windowTitle = windowTitle(scope, pid).value_or(context.appName);
    context.documentPath = documentPath(scope, pid);

    auto [text, strategyUsed] = strategyRouter_->captureSurroundingText(
        element, pid, context.bundleIdentifier, context.appName, scope);
    if (text) {
        auto trimmed = TextProcessing::trimEmailFooter(*text);
        if (!trimmed.empty())
            context.surroundingText =
                unicode::graphemePrefix(trimmed, context_limits::maxTextCharacters);
    }
    logf("🔍 [Context] Strategy '{}' → {} chars for {}", strategyUsed,
         context.surroundingText ? unicode::graphemeCount(*context.surroundingText) : 0,
         context.bundleIdentifier);
    return context;
}

} // namespace pennial
