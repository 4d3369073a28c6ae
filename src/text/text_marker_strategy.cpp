#include "text/text_marker_strategy.hpp"

#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/ax_reads.hpp"
#include "text/context_limits.hpp"

#include <deque>

namespace pennial {

namespace attribute = ax::attribute;
namespace parameterized = ax::parameterized;

namespace {

constexpr std::chrono::duration<double> applicationTimeout{1.0};
constexpr std::chrono::duration<double> webAreaTimeout{2.0};
constexpr std::chrono::duration<double> containerTimeout{1.0};
constexpr int webAreaSearchDepth = 4;
constexpr int webAreaSearchEntries = 100;
constexpr int walkUpSteps = 15;

std::optional<AXElement> findTopLevelWebArea(const CaptureScope& scope, const AXElement& window) {
    std::deque<std::pair<AXElement, int>> queue{{window, 0}};
    for (int taken = 0; taken < webAreaSearchEntries && !queue.empty() && !scope.expired();
         ++taken) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        if (depth >= webAreaSearchDepth)
            continue;
        scope.setTimeout(element, context_limits::searchElementTimeout);
        if (scope.readString(element, attribute::role) == ax::role::webArea)
            return element;
        if (auto children = scope.readElements(element, attribute::children))
            for (auto& child : *children)
                queue.emplace_back(std::move(child), depth + 1);
    }
    return std::nullopt;
}

std::optional<std::string> windowLevelExtraction(const CaptureScope& scope,
                                                 const AXElement& application) {
    auto window = scope.readElement(application, attribute::focusedWindow);
    if (!window)
        return std::nullopt;
    auto webArea = findTopLevelWebArea(scope, *window);
    if (!webArea)
        return std::nullopt;
    scope.setTimeout(*webArea, webAreaTimeout);
    return TextMarkerStrategy::extractViaTextMarkers(scope, *webArea);
}

bool describesConversation(const std::string& description) {
    auto lower = unicode::lowercased(description);
    for (auto word : {"message", "chat", "conversation"})
        if (lower.find(word) != std::string::npos)
            return true;
    return false;
}

std::optional<std::string> focusedElementWalkUp(const CaptureScope& scope,
                                                const AXElement& element) {
    std::optional<AXElement> container;
    std::optional<AXElement> best;
    AXElement current = element;
    scope.setTimeout(current, context_limits::searchElementTimeout);
    for (int step = 0; step < walkUpSteps && !scope.expired(); ++step) {
        auto parent = scope.readElement(current, attribute::parent);
        if (!parent)
            break;
        scope.setTimeout(*parent, context_limits::searchElementTimeout);
        auto role = scope.readString(*parent, attribute::role).value_or("");
        if (role == ax::role::window || role == ax::role::application)
            break;
        if (role == ax::role::webArea) {
            container = parent;
            break;
        }
        auto description = scope.readString(*parent, attribute::description);
        if (description && describesConversation(*description)) {
            container = parent;
            break;
        }
        auto subrole = scope.readString(*parent, attribute::subrole);
        if (subrole == ax::subrole::landmarkMain || subrole == ax::subrole::applicationGroup)
            best = parent;
        current = *parent;
    }
    if (!container)
        container = best;
    if (!container || scope.expired())
        return std::nullopt;
    scope.setTimeout(*container, containerTimeout);
    return TextMarkerStrategy::extractViaTextMarkers(scope, *container);
}

} // namespace

std::optional<std::string> TextMarkerStrategy::extractViaTextMarkers(const CaptureScope& scope,
                                                                     const AXElement& element) {
    auto start = scope.read(element, attribute::startTextMarker);
    if (!start.ok())
        return std::nullopt;
    auto end = scope.read(element, attribute::endTextMarker);
    if (!end.ok())
        return std::nullopt;
    const AXValue markers(AXValue::List{*start.value(), *end.value()});
    auto range = scope.readParameterized(
        element, parameterized::textMarkerRangeForUnorderedTextMarkers, markers);
    if (!range.ok())
        range = scope.readParameterized(element, parameterized::textMarkerRangeForMarkers, markers);
    if (!range.ok())
        range = scope.read(element, attribute::textMarkerRange);
    if (!range.ok())
        return std::nullopt;
    auto text =
        scope.readParameterized(element, parameterized::stringForTextMarkerRange, *range.value());
    auto string = text.ok() ? text.value()->asString() : std::nullopt;
    if (!string || string->empty())
        return std::nullopt;
    return unicode::graphemePrefix(*string, context_limits::maxTextCharacters);
}

std::string TextMarkerStrategy::cleanOutput(std::string_view text) {
    auto units = unicode::toUtf16(text);
    std::u16string cleaned;
    cleaned.reserve(units.size());
    int lineBreaks = 0; // in a row, as written so far
    for (std::size_t i = 0; i < units.size(); ++i) {
        char16_t unit = units[i];
        // Characters at U+F0000 and above (the supplementary private-use planes) start with a
        // high surrogate from DB80.
        if (unit >= 0xDB80 && unit <= 0xDBFF) {
            if (i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
                ++i;
            continue;
        }
        if (unit >= 0xE000 && unit <= 0xF8FF)
            continue;
        if (unit == 0xFFFC)
            unit = u'\n';
        if (unit == u'\n') {
            if (++lineBreaks > 2)
                continue;
        } else {
            lineBreaks = 0;
        }
        cleaned.push_back(unit);
    }
    return unicode::trimWhitespaceAndNewlines(unicode::toUtf8(cleaned));
}

std::optional<std::string>
TextMarkerStrategy::captureSurroundingText(const AXElement& near, Pid pid,
                                           const CaptureScope& scope) const {
    // Every way this strategy reads ends in text markers: without them it can find nothing.
    if (scope.expired() || !scope.offersTextMarkers())
        return std::nullopt;
    auto application = scope.applicationElement(pid);
    scope.setTimeout(application, applicationTimeout);
    scope.write(application, attribute::enhancedUserInterface, true);
    auto text = windowLevelExtraction(scope, application);
    if (!text)
        text = focusedElementWalkUp(scope, near);
    if (!text)
        return std::nullopt;
    return cleanOutput(*text);
}

} // namespace pennial
