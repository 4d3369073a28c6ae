// The provider's writes: the whole value, a range, a selection. Each platform step runs on the
// writes' own strand, in order and one at a time, never on the main thread: an application that
// stops answering holds up its write, not the user interface. The pauses between steps hold
// nothing.

#include "base/log.hpp"
#include "base/task.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/run_on.hpp"

#include <asio/this_coro.hpp>

namespace pennial {

namespace {

using Kind = AccessibilityError::Kind;

std::int64_t utf16Length(std::string_view text) {
    return static_cast<std::int64_t>(unicode::utf16Length(text));
}

// The text once range is replaced by with; none when the range does not lie in the text.
std::optional<std::string> withRangeReplaced(const std::string& text, AXRange range,
                                             const std::string& with) {
    auto units = unicode::toUtf16(text);
    if (range.location < 0 || range.length < 0 ||
        range.location + range.length > static_cast<std::int64_t>(units.size()))
        return std::nullopt;
    units.replace(static_cast<std::size_t>(range.location), static_cast<std::size_t>(range.length),
                  unicode::toUtf16(with));
    return unicode::toUtf8(units);
}

// A write the application accepted but ignored leaves the text as it was.
bool ignored(const std::optional<std::string>& before, const std::optional<std::string>& after,
             const std::optional<std::string>& intended) {
    return before && after && *after == *before && intended && *after != *intended;
}

} // namespace

Awaitable<void> AXAccessibilityProvider::setValue(std::string text, AccessibleElement target) {
    // Once the value is written the caret move must follow, even for a caller that gave up.
    co_await asio::this_coro::throw_if_cancelled(false);
    auto& ax = *facilities_.accessibility;
    const auto element = target.element();

    auto write = [&]() -> std::pair<AXError, std::optional<std::string>> {
        auto before = readValueText(element);
        return {ax.setAttributeValue(element, ax::attribute::value, text), std::move(before)};
    };
    auto [result, before] = co_await runOn(writes_, std::move(write));
    if (result == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (result != AXError::success)
        throw AccessibilityError(Kind::cannotWriteValue);

    co_await sleepFor(setValueSettle);
    auto readBack = [&] { return readValueText(element); };
    auto after = co_await runOn(writes_, std::move(readBack));
    if (ignored(before, after, text))
        throw AccessibilityError(Kind::cannotWriteValue);

    auto moveCaret = [&] {
        return ax.setAttributeValue(element, ax::attribute::selectedTextRange,
                                    AXRange{utf16Length(text), 0});
    };
    if (auto moved = co_await runOn(writes_, std::move(moveCaret)); moved != AXError::success)
        logf("⚠️ [AXAccessibilityProvider] Could not set cursor position: {}",
             errorCode(moved));
}

Awaitable<void> AXAccessibilityProvider::replaceRange(AXRange range, std::string text,
                                                      AccessibleElement target) {
    co_await asio::this_coro::throw_if_cancelled(false);
    auto& ax = *facilities_.accessibility;
    const auto element = target.element();

    auto write = [&]() -> std::pair<bool, std::optional<std::string>> {
        auto before = readValueText(element);
        bool written =
            ax.setAttributeValue(element, ax::attribute::selectedTextRange, range) ==
                AXError::success &&
            ax.setAttributeValue(element, ax::attribute::selectedText, text) == AXError::success;
        return {written, std::move(before)};
    };
    auto [written, before] = co_await runOn(writes_, std::move(write));
    if (!written)
        throw AccessibilityError(Kind::cannotWriteValue);

    co_await sleepFor(replaceRangeSettle);
    auto readBack = [&] { return readValueText(element); };
    auto after = co_await runOn(writes_, std::move(readBack));
    // Lengths are checked only when both texts could be read.
    if (before && after &&
        utf16Length(*after) != utf16Length(*before) - range.length + utf16Length(text))
        throw AccessibilityError(Kind::cannotWriteValue);
    if (ignored(before, after, before ? withRangeReplaced(*before, range, text) : std::nullopt))
        throw AccessibilityError(Kind::cannotWriteValue);

    auto moveCaret = [&] {
        return ax.setAttributeValue(element, ax::attribute::selectedTextRange,
                                    AXRange{range.location + utf16Length(text), 0});
    };
    co_await runOn(writes_, std::move(moveCaret));
}

Awaitable<void> AXAccessibilityProvider::selectRange(AXRange range, AccessibleElement target) {
    auto select = [accessibility = facilities_.accessibility, element = target.element(), range] {
        return accessibility->setAttributeValue(element, ax::attribute::selectedTextRange, range);
    };
    auto result = co_await runOn(writes_, std::move(select));
    if (result == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (result != AXError::success)
        throw AccessibilityError(Kind::cannotWriteValue);
}

} // namespace pennial
