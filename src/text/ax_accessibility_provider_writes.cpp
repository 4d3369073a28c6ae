// The provider's writes: the whole value, a range, a selection. Each platform step runs on the
// writes' own strand, in order and one at a time, never on the main thread: an application that
// stops answering holds up its write, not the user interface. The pauses between steps hold
// nothing. A write given the text it was made for checks,
// in the step that writes, that the field still holds it; afterwards the field is read back and
// the write judged: taken, left alone, taken and typed after, or anything else.

#include "base/log.hpp"
#include "base/task.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/ax_reads.hpp"
#include "text/field_write.hpp"
#include "text/run_on.hpp"

#include <array>
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

// The range without the start that text repeats: what a platform that writes only what differs
// removes (whole characters).
AXRange withoutRepeatedStart(const std::string& before, AXRange range, const std::string& text) {
    const auto replaced = unicode::sliceUtf16(before, static_cast<std::size_t>(range.location),
                                              static_cast<std::size_t>(range.length));
    if (!replaced)
        return range;
    std::size_t same = 0;
    while (same < replaced->size() && same < text.size() && (*replaced)[same] == text[same])
        ++same;
    while (same > 0 && same < text.size() &&
           (static_cast<unsigned char>(text[same]) & 0xC0) == 0x80)
        --same;
    const auto kept = utf16Length(std::string_view(text).substr(0, same));
    return {range.location + kept, range.length - kept};
}

std::optional<std::int64_t> caretOf(Accessibility& ax, const AXElement& element) {
    auto selection = ax::readBoxed<AXRange>(ax, element, ax::attribute::selectedTextRange);
    if (!selection)
        return std::nullopt;
    return selection->location + selection->length;
}

// The user's typing point once range (of before) holds written units: it keeps its place in what
// follows the range; from inside or in front of the range it goes after the written text.
std::int64_t caretAfterWrite(std::optional<std::int64_t> caret, AXRange range,
                             std::int64_t written) {
    if (caret && *caret >= range.location + range.length)
        return *caret - range.length + written;
    return range.location + written;
}

// The stretch of before that a whole-value write of text really changes: their common start and
// end set aside.
AXRange changedStretch(const std::string& before, const std::string& text) {
    const auto a = unicode::toUtf16(before);
    const auto b = unicode::toUtf16(text);
    std::size_t prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    std::size_t suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    return {static_cast<std::int64_t>(prefix),
            static_cast<std::int64_t>(a.size() - prefix - suffix)};
}

} // namespace

bool AXAccessibilityProvider::isSingleLineNow(const AXElement& element) const {
    return ax::readString(*facilities_.accessibility, element, ax::attribute::role) ==
           std::string(ax::role::textField);
}

Awaitable<void> AXAccessibilityProvider::setValue(std::string text, AccessibleElement target,
                                                  std::optional<std::string> expected) {
    // Once the value is written the caret move must follow, even for a caller that gave up.
    co_await asio::this_coro::throw_if_cancelled(false);
    auto& ax = *facilities_.accessibility;
    const auto element = target.element();

    auto write = [&]() -> WriteStep {
        auto before = readValueText(element);
        if (expected && before != expected)
            throw FieldChangedError();
        auto caret = caretOf(ax, element);
        auto result = ax.setAttributeValue(element, ax::attribute::value, text);
        return {std::move(before), result, readValueText(element), caret};
    };
    auto step = co_await runOn(writes_, std::move(write));
    if (step.result == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (step.result != AXError::success && step.after == step.before)
        throw AccessibilityError(Kind::cannotWriteValue);

    const AXRange whole{0, utf16Length(text)};
    auto verdict = (co_await judgeWritten(element, step, text, whole, setValueSettle)).verdict;
    if (verdict == WriteVerdict::untouched)
        throw AccessibilityError(Kind::cannotWriteValue);
    if (verdict == WriteVerdict::cutShort)
        throw FieldCutShortError();
    if (verdict == WriteVerdict::changed)
        throw FieldChangedError();
    if (verdict == WriteVerdict::landedThenEdited)
        co_return; // the caret is the user's again

    // Without the text before, the caret goes to the end, after anything kept behind the result.
    auto caret = utf16Length(text);
    if (step.before) {
        const auto stretch = changedStretch(*step.before, text);
        const auto written = utf16Length(text) - utf16Length(*step.before) + stretch.length;
        caret = caretAfterWrite(step.caret, stretch, written);
    }
    co_await placeCaretAfterWrite(element, text, caret);
}

Awaitable<void> AXAccessibilityProvider::placeCaretAfterWrite(const AXElement& element,
                                                              const std::string& written,
                                                              std::int64_t caret) {
    auto moveCaret = [&] {
        // A caret the write already left there is not moved: a key typed between the read and
        // the move would land behind it.
        if (caretOf(*facilities_.accessibility, element) == caret ||
            readValueText(element) != written)
            return AXError::success;
        return facilities_.accessibility->setAttributeValue(
            element, ax::attribute::selectedTextRange, AXRange{caret, 0});
    };
    if (auto moved = co_await runOn(writes_, std::move(moveCaret)); moved != AXError::success)
        logf("⚠️ [AXAccessibilityProvider] Could not set cursor position: {}",
             errorCode(moved));
}

Awaitable<void> AXAccessibilityProvider::replaceRange(AXRange range, std::string text,
                                                      AccessibleElement target,
                                                      std::optional<std::string> expected) {
    co_await asio::this_coro::throw_if_cancelled(false);
    auto& ax = *facilities_.accessibility;
    const auto element = target.element();

    auto write = [&]() -> WriteStep {
        auto before = readValueText(element);
        if (expected && before != expected)
            throw FieldChangedError();
        auto caret = caretOf(ax, element);
        const bool written = ax.replaceText(element, range, text) == AXError::success;
        return {std::move(before), written ? AXError::success : AXError::failure,
                readValueText(element), caret};
    };
    auto step = co_await runOn(writes_, std::move(write));
    if (!step.before) {
        // Nothing to judge the write by: it counts when the platform took it.
        if (step.result != AXError::success)
            throw AccessibilityError(Kind::cannotWriteValue);
    } else {
        const auto intended = withRangeReplaced(*step.before, range, text);
        if (!intended)
            throw AccessibilityError(Kind::cannotWriteValue);
        const AXRange written{range.location, utf16Length(text)};
        auto [verdict, now] =
            co_await judgeWritten(element, step, *intended, written, replaceRangeSettle);
        // A range is written as a removal and an insertion (of the whole range, or of what the
        // text does not repeat): when only the removal landed, the removed text goes back before
        // anything else is tried.
        if (verdict != WriteVerdict::landed) {
            const std::array<AXRange, 2> removals{range,
                                                  withoutRepeatedStart(*step.before, range, text)};
            for (const auto removedRange : removals) {
                const auto removed = withRangeReplaced(*step.before, removedRange, "");
                if (now != removed)
                    continue;
                co_await restoreRemoved(element, removedRange, *step.before, *removed);
                throw AccessibilityError(Kind::cannotWriteValue);
            }
        }
        if (verdict == WriteVerdict::untouched)
            throw AccessibilityError(Kind::cannotWriteValue);
        if (verdict == WriteVerdict::cutShort)
            throw FieldCutShortError();
        if (verdict == WriteVerdict::changed)
            throw FieldChangedError();
        if (verdict == WriteVerdict::landedThenEdited)
            co_return;
    }

    if (!step.before) {
        // Nothing to check the caret's move against: after the text, as the write left it.
        auto moveCaret = [&] {
            return ax.setAttributeValue(element, ax::attribute::selectedTextRange,
                                        AXRange{range.location + utf16Length(text), 0});
        };
        co_await runOn(writes_, std::move(moveCaret));
        co_return;
    }
    co_await placeCaretAfterWrite(element, *withRangeReplaced(*step.before, range, text),
                                  caretAfterWrite(step.caret, range, utf16Length(text)));
}

Awaitable<AXAccessibilityProvider::WriteJudgement>
AXAccessibilityProvider::judgeWritten(AXElement element, WriteStep step, std::string intended,
                                      AXRange written, std::chrono::milliseconds settle) {
    // A field that could not be read before has nothing to judge the write by: the answer counts.
    if (!step.before)
        co_return WriteJudgement{step.result == AXError::success ? WriteVerdict::landed
                                                                 : WriteVerdict::untouched,
                                 step.after};
    auto judge = [&](const std::string& now) {
        if (now == intended)
            return WriteVerdict::landed;
        return judgeWrite(*step.before, intended, now, isSingleLineNow(element), written);
    };
    if (step.after) {
        auto verdict = co_await runOn(writes_, [&] { return judge(*step.after); });
        // A field seen cut short may still be applying the write in steps: it is watched too.
        const bool unsettled =
            verdict == WriteVerdict::untouched || verdict == WriteVerdict::cutShort;
        if (!unsettled || step.result != AXError::success)
            co_return WriteJudgement{verdict, step.after};
    }
    // Some applications apply a write after answering it. A read-back that failed is made again
    // rather than the answer trusted: some answer success for a write they ignore. The field is
    // watched through the settle time: once it has shown the write, what it shows later is the
    // user's, not a write half applied.
    auto readAgain = [&]() -> WriteJudgement {
        auto now = readValueText(element);
        return {now ? judge(*now) : WriteVerdict::untouched, now};
    };
    const auto until = std::chrono::steady_clock::now() + settle;
    for (;;) {
        const auto left = until - std::chrono::steady_clock::now();
        co_await sleepFor(std::min<std::chrono::steady_clock::duration>(left, settlePoll));
        auto judgement = co_await runOn(writes_, readAgain);
        if (judgement.verdict == WriteVerdict::landed || std::chrono::steady_clock::now() >= until)
            co_return judgement;
    }
}

Awaitable<void> AXAccessibilityProvider::restoreRemoved(const AXElement& element, AXRange range,
                                                        const std::string& before,
                                                        const std::string& removed) {
    auto& ax = *facilities_.accessibility;
    auto removedText = unicode::sliceUtf16(before, static_cast<std::size_t>(range.location),
                                           static_cast<std::size_t>(range.length));
    auto reinsert = [&]() -> bool {
        if (readValueText(element) != removed || !removedText)
            return false;
        if (ax.setAttributeValue(element, ax::attribute::selectedTextRange,
                                 AXRange{range.location, 0}) == AXError::success)
            ax.setAttributeValue(element, ax::attribute::selectedText, *removedText);
        if (readValueText(element) == before)
            return true;
        // The insertion is what failed: the whole value is the other way back.
        if (readValueText(element) != removed)
            return false;
        ax.setAttributeValue(element, ax::attribute::value, before);
        return readValueText(element) == before;
    };
    if (co_await runOn(writes_, std::move(reinsert))) {
        logLine("⚠️ [AXAccessibilityProvider] Range replacement was half applied - the removed "
                "text is back");
        co_return;
    }
    logLine("❌ [AXAccessibilityProvider] Range replacement was half applied and the removed text "
            "could not be put back");
    throw FieldNotRestoredError();
}

Awaitable<void> AXAccessibilityProvider::selectRange(AXRange range, AccessibleElement target,
                                                     std::optional<std::string> expected) {
    auto select = [this, element = target.element(), range, &expected] {
        if (expected && readValueText(element) != expected)
            throw FieldChangedError();
        return facilities_.accessibility->setAttributeValue(
            element, ax::attribute::selectedTextRange, range);
    };
    auto result = co_await runOn(writes_, std::move(select));
    if (result == AXError::apiDisabled)
        throw AccessibilityError(Kind::permissionDenied);
    if (result != AXError::success)
        throw AccessibilityError(Kind::cannotWriteValue);
}

} // namespace pennial
