// Write-back: the result goes into the field by the first of four methods that writes it (range
// replacement, whole value, targeted keyboard paste, select-all keyboard paste). Every method
// writes only over the text the result was made from, checked in the step that writes; a field
// that holds anything else is the user's edit, and nothing more is written. A method counts once
// the field holds the new text (as the application stores it); the keyboard pastes lend the
// clipboard and give it back.

#include "app/app_coordinator.hpp"
#include "app/clipboard_loan.hpp"
#include "app/held_user_keys.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/accessibility_monitor.hpp"
#include "text/ax_reads.hpp"
#include "text/field_write.hpp"
#include "text/run_on.hpp"
#include "text/text_runs.hpp"

#include <system_error>
#include <tuple>

namespace pennial {

namespace {

using Kind = AccessibilityError::Kind;
using Clock = std::chrono::steady_clock;

// How often the field is read after a paste until it shows the pasted text, and how long it
// holds still before what else it shows counts.
constexpr auto pasteLandingPoll = std::chrono::milliseconds(10);
constexpr auto pasteSettleQuiet = std::chrono::milliseconds(250);
// A selection made with keys: how many at most, and how long the field may take to show it.
constexpr std::size_t maxSelectionKeys = 2000;
constexpr auto selectionKeysSettle = std::chrono::milliseconds(1500);
// A caret that moved and then stood still this long has taken every key sent.
constexpr auto selectionKeysQuiet = std::chrono::milliseconds(150);
constexpr std::size_t maxExtraSelectionKeys = 8;
// A result written a place at a time takes at most this many writes (a keyboard paste each).
constexpr std::size_t maxWriteRuns = 4;

// The field's text, read away from the main thread: while the clipboard is lent, the application
// pasting asks the main thread for it and may not answer the read before it has it.
Awaitable<std::optional<std::string>> fieldText(AccessibleElement element) {
    auto read = [element = std::move(element)] {
        return ax::readString(*element.accessibility(), element.element(),
                              ax::attribute::currentValue);
    };
    co_return co_await runOn(sharedPool().get_executor(), std::move(read));
}

Awaitable<bool> isSingleLine(AccessibleElement element) {
    auto read = [element = std::move(element)] {
        return ax::readString(*element.accessibility(), element.element(), ax::attribute::role) ==
               std::string(ax::role::textField);
    };
    co_return co_await runOn(sharedPool().get_executor(), std::move(read));
}

// Waits, unless the trigger's handling is cancelled: then the clipboard goes back at once.
Awaitable<void> pasteWait(Clock::duration duration, ClipboardLoan& loan) {
    if (co_await sleepFor(duration) == SleepResult::cancelled) {
        loan.giveBack();
        throw std::system_error(asio::error::operation_aborted);
    }
}

void logReturn(ClipboardLoan::Return returned, const char* restoredLine) {
    if (returned == ClipboardLoan::Return::restored)
        logLine(restoredLine);
    else if (returned == ClipboardLoan::Return::keptNewCopy)
        logLine("⚠️ [Pennial] Clipboard changed during the paste - not restored");
}

// What a paste over range must write: the range without the start that text keeps as it is, and
// the rest of text. A rich field's formatting then survives wherever its text did; the paste still
// ends where the range does, and the caret after it. A write that only removes keeps one character
// before it to paste over.
std::pair<AXRange, std::string> changedPart(const std::string& original, AXRange range,
                                            const std::string& text) {
    const auto whole = unicode::toUtf16(original);
    if (range.location < 0 || range.length < 0 ||
        range.location + range.length > static_cast<std::int64_t>(whole.size()))
        return {range, text};
    const auto was = whole.substr(static_cast<std::size_t>(range.location),
                                  static_cast<std::size_t>(range.length));
    const auto with = unicode::toUtf16(text);
    auto prefix = unicode::sharedStart(was, with);
    if (prefix == with.size() && prefix > 0)
        prefix = unicode::sharedStart(was, with, prefix - 1);
    if (prefix == 0 || prefix >= with.size())
        return {range, text};
    return {AXRange{range.location + static_cast<std::int64_t>(prefix),
                    static_cast<std::int64_t>(was.size() - prefix)},
            unicode::toUtf8(with.substr(prefix))};
}

} // namespace

void AppCoordinator::endWriteBackIfFinal(std::exception_ptr failure,
                                         const WriteBackRequest& request) {
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    try {
        std::rethrow_exception(failure);
    } catch (const FieldChangedError&) {
        logLine("⚠️ [Pennial] Text changed - cancelling");
        throw std::system_error(asio::error::operation_aborted);
    } catch (const FieldCutShortError&) {
        throw;
    } catch (const FieldNotRestoredError&) {
        // The field lost the range and the result is not in it: the result at least stays at hand.
        if (clipboard_) {
            clipboard_->clear();
            clipboard_->setText(request.rangeReplacement);
            logLine("❌ [Pennial] The field could not be brought back - the result is on the "
                    "clipboard");
        }
        throw;
    } catch (...) {
    }
}

Awaitable<WriteMethod> AppCoordinator::writeBack(WriteBackRequest request) {
    std::exception_ptr cutShort;
    try {
        auto rest = request;
        if (auto method = co_await writeInRuns(rest))
            co_return *method;
        co_return co_await writeByFirstMethod(rest);
    } catch (const FieldCutShortError&) {
        cutShort = std::current_exception();
    }
    co_await putBackCutShort(request);
    std::rethrow_exception(cutShort);
}

Awaitable<void> AppCoordinator::putBackCutShort(const WriteBackRequest& request) {
    logLine(
        "⚠️ [Pennial] The field took only part of the result - putting back the user's text");
    bool back = false;
    try {
        const auto now = co_await fieldText(request.element);
        back = now == request.originalText;
        if (now && !back) {
            // Written over the stretch that differs, as any result is: the text around it keeps
            // its formatting.
            const auto was = unicode::toUtf16(request.originalText);
            const auto is = unicode::toUtf16(*now);
            const auto same = unicode::sharedEnd(was, is);
            WriteBackRequest undo{request.element,
                                  static_cast<long long>(is.size() - same),
                                  unicode::toUtf8(was.substr(0, was.size() - same)),
                                  request.originalText,
                                  *now,
                                  false,
                                  std::nullopt};
            co_await writeByFirstMethod(undo);
            back = true;
        }
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
    }
    if (clipboard_) {
        clipboard_->clear();
        clipboard_->setText(request.result.value_or(request.rangeReplacement));
    }
    if (!back) {
        logLine("❌ [Pennial] The field could not be brought back - the result is on the "
                "clipboard");
        throw FieldNotRestoredError();
    }
    logLine("⚠️ [Pennial] The user's text is back - the result is on the clipboard");
}

Awaitable<std::optional<WriteMethod>> AppCoordinator::writeInRuns(WriteBackRequest& request) {
    const auto replaced = unicode::sliceUtf16(request.originalText, 0,
                                              static_cast<std::size_t>(request.replacedLength));
    if (!replaced)
        co_return std::nullopt;
    const auto runs = differingRuns(*replaced, request.rangeReplacement, maxWriteRuns);
    if (runs.size() < 2 || !co_await isRichText(request.element))
        co_return std::nullopt;
    // From the first run to the last, so that the caret ends after the last one written.
    std::int64_t grown = 0;
    std::optional<WriteMethod> method;
    for (const auto& run : runs) {
        const AXRange range{run.location + grown, run.length};
        const auto written = static_cast<std::int64_t>(unicode::utf16Length(run.text));
        auto next = unicode::toUtf16(request.originalText);
        next.replace(static_cast<std::size_t>(range.location),
                     static_cast<std::size_t>(range.length), unicode::toUtf16(run.text));
        // The stretch up to the run's end, of which only the run differs.
        WriteBackRequest part{
            request.element,
            range.location + range.length,
            unicode::toUtf8(next.substr(0, static_cast<std::size_t>(range.location + written))),
            unicode::toUtf8(next),
            request.originalText,
            false,
            std::nullopt};
        std::exception_ptr failure;
        try {
            co_await accessibilityMonitor_->replaceRange(range, run.text, part.element,
                                                         part.originalText);
            method = WriteMethod::rangeReplacement;
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            endWriteBackIfFinal(failure, part);
            failure = nullptr;
            try {
                co_await pasteViaKeyboardTargeted(part.rangeReplacement, {0, part.replacedLength},
                                                  part);
                method = WriteMethod::targetedKeyboardPaste;
            } catch (...) {
                failure = std::current_exception();
            }
        }
        if (failure) {
            endWriteBackIfFinal(failure, part);
            logf("⚠️ [Pennial] A part of the result could not be written on its own ({}), "
                 "writing the rest at once",
                 describeError(failure));
            co_return std::nullopt;
        }
        grown += written - run.length;
        request.originalText = std::move(part.fullReplacement);
        request.replacedLength += written - run.length;
    }
    if (request.announce)
        logf("✅ [Pennial] Text replaced in {} places", runs.size());
    co_return method;
}

Awaitable<bool> AppCoordinator::isRichText(AccessibleElement element) {
    auto read = [element = std::move(element)] {
        return ax::readBoxed<bool>(*element.accessibility(), element.element(),
                                   ax::attribute::richText)
            .value_or(false);
    };
    co_return co_await runOn(sharedPool().get_executor(), std::move(read));
}

Awaitable<WriteMethod> AppCoordinator::writeByFirstMethod(const WriteBackRequest& request) {
    const AXRange range{0, request.replacedLength};
    const bool announce = request.announce;
    std::exception_ptr failure;

    try {
        co_await accessibilityMonitor_->replaceRange(range, request.rangeReplacement,
                                                     request.element, request.originalText);
        if (announce)
            logLine("✅ [Pennial] Text replaced via range replacement");
        co_return WriteMethod::rangeReplacement;
    } catch (...) {
        failure = std::current_exception();
    }
    endWriteBackIfFinal(failure, request);
    logf("⚠️ [Pennial] Range replacement failed ({}), trying full text replacement",
         describeError(failure));

    try {
        co_await accessibilityMonitor_->setText(request.fullReplacement, request.element,
                                                request.originalText);
        if (announce)
            logLine("✅ [Pennial] Text set via full replacement");
        co_return WriteMethod::fullReplacement;
    } catch (...) {
        failure = std::current_exception();
    }
    endWriteBackIfFinal(failure, request);
    logf("⚠️ [Pennial] Full text replacement failed ({}), trying targeted keyboard paste",
         describeError(failure));

    try {
        co_await pasteViaKeyboardTargeted(request.rangeReplacement, range, request);
        if (announce)
            logLine("✅ [Pennial] Text replaced via targeted keyboard paste");
        co_return WriteMethod::targetedKeyboardPaste;
    } catch (...) {
        failure = std::current_exception();
    }
    endWriteBackIfFinal(failure, request);
    logf("⚠️ [Pennial] Targeted paste failed ({}), falling back to full keyboard paste",
         describeError(failure));

    try {
        co_await pasteViaKeyboard(request.fullReplacement, range, request);
    } catch (...) {
        failure = std::current_exception();
        endWriteBackIfFinal(failure, request);
        std::rethrow_exception(failure);
    }
    co_return WriteMethod::keyboardPaste;
}

Awaitable<void> AppCoordinator::pasteViaKeyboardTargeted(std::string text, AXRange range,
                                                         WriteBackRequest request) {
    co_await requireKeyboardPaste(request.element);
    co_await requireFocus(request.element);
    // Only what changes is selected and pasted over.
    std::tie(range, text) = changedPart(request.originalText, range, text);

    // The clipboard settles before the range is selected, not after: keys the user types while a
    // selection stands would replace it.
    ClipboardLoan loan(clipboard_, text);
    co_await pasteWait(timings_.targetedPasteDelay, loan);
    if (!co_await hasFocus(request.element)) {
        loan.giveBack();
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
    }
    const auto caretBefore = co_await caretOffset(request.element);
    const bool singleLine = co_await isSingleLine(request.element);
    HeldUserKeys held(keyboardSynthesizer_);
    // The range was measured on the original text; over anything else it would cut the wrong
    // characters.
    bool selected = true;
    try {
        co_await accessibilityMonitor_->selectRange(range, request.element, request.originalText);
    } catch (const AccessibilityError& error) {
        if (error.kind() != Kind::cannotWriteValue || range.length == 0)
            throw;
        selected = false;
    }
    // A range the field's own calls cannot select (one across the elements of a rich field) is
    // selected as the user would, with Shift+Right from its start.
    if (!selected && !co_await selectByKeys(range, request))
        throw AccessibilityError(Kind::cannotWriteValue);
    const AXRange pasted{range.location, static_cast<std::int64_t>(unicode::utf16Length(text))};
    co_await pasteOverSelection(request, loan, held, {range, caretBefore, singleLine, pasted},
                                "✅ [Pennial] Clipboard restored after targeted keyboard paste");
}

Awaitable<bool> AppCoordinator::selectByKeys(AXRange range, const WriteBackRequest& request) {
    const auto selected =
        unicode::sliceUtf16(request.originalText, static_cast<std::size_t>(range.location),
                            static_cast<std::size_t>(range.length));
    // One key a character, as the field moves its caret (a line break is one).
    const auto keys = selected ? unicode::graphemeCount(*selected) : 0;
    if (keys == 0 || keys > maxSelectionKeys)
        co_return false;
    const auto end = range.location + range.length;
    try {
        co_await accessibilityMonitor_->selectRange({range.location, 0}, request.element,
                                                    request.originalText);
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
        co_return false;
    }
    if (co_await caretOffset(request.element) != range.location)
        co_return false;
    for (std::size_t key = 0; key < keys; ++key)
        keyboardSynthesizer_->post(Shortcut::extendSelection);
    // The selection's moving end is the caret: at the range's end, the range is selected. A
    // field may stop the caret once more at an element it cannot edit (a list's bullet): a key
    // more for each such stop, while the caret still falls short once it has settled.
    auto sent = Clock::now();
    auto movedAt = sent;
    std::optional<std::int64_t> last;
    bool moved = false; // since the last key
    std::size_t extra = 0;
    for (;;) {
        const auto caret = co_await caretOffset(request.element);
        if (caret == end)
            co_return true;
        if (!caret || *caret > end || Clock::now() - sent > selectionKeysSettle)
            break;
        if (caret != last) {
            moved = moved || last.has_value();
            last = caret;
            movedAt = Clock::now();
        } else if (moved && Clock::now() - movedAt > selectionKeysQuiet) {
            if (++extra > maxExtraSelectionKeys)
                break;
            keyboardSynthesizer_->post(Shortcut::extendSelection);
            sent = Clock::now();
            moved = false;
        }
        co_await sleepFor(pasteLandingPoll);
    }
    // No selection of ours is left standing for the user's keys.
    co_await placeCaret(request.element, range.location);
    co_return false;
}

Awaitable<void> AppCoordinator::pasteViaKeyboard(std::string text, AXRange,
                                                 WriteBackRequest request) {
    co_await requireKeyboardPaste(request.element);
    // Select-all takes whatever control has the keyboard: only the trigger's own field will do.
    co_await requireFocus(request.element);

    ClipboardLoan loan(clipboard_, text);
    co_await pasteWait(timings_.selectAllDelay, loan);
    if (!co_await hasFocus(request.element)) {
        loan.giveBack();
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
    }
    const auto caretBefore = co_await caretOffset(request.element);
    const bool singleLine = co_await isSingleLine(request.element);
    HeldUserKeys held(keyboardSynthesizer_);
    if (co_await fieldText(request.element) != request.originalText) {
        loan.giveBack();
        throw FieldChangedError();
    }
    // Select-all goes just before the paste's own check, so no whole-field selection waits for
    // the user's keys.
    keyboardSynthesizer_->post(Shortcut::selectAll);
    const auto whole = static_cast<std::int64_t>(unicode::utf16Length(request.originalText));
    const AXRange pasted{0, static_cast<std::int64_t>(unicode::utf16Length(text))};
    co_await pasteOverSelection(request, loan, held, {{0, whole}, caretBefore, singleLine, pasted},
                                "✅ [Pennial] Clipboard restored after keyboard paste");
}

Awaitable<void> AppCoordinator::pasteOverSelection(const WriteBackRequest& request,
                                                   ClipboardLoan& loan, HeldUserKeys& held,
                                                   PasteSelection selection,
                                                   const char* restoredLine) {
    // The keys follow the check's answer at once: the paste lands over the text it was prepared
    // for, or not at all. (The selection is not compared: browsers report it late.)
    if (auto now = co_await fieldText(request.element); now != request.originalText) {
        if (now) {
            // No key typed from now on may land in the selection made for the paste; the field
            // is judged once it is gone (the user's keys may have replaced it already).
            co_await dropPasteSelection(request, loan, selection, *now);
            if ((now = co_await fieldText(request.element)))
                co_await repairAroundPaste(request, loan, selection, *now, "");
        }
        held.release();
        // A paste sent for the repair may still fetch the clipboard.
        if (const auto relent = loan.relentAt())
            co_await runOutLoan(loan, *relent);
        loan.giveBack();
        throw FieldChangedError();
    }
    if (!loan.holdsLentText()) {
        loan.giveBack();
        throw KeyboardPasteError(KeyboardPasteError::Kind::unavailable);
    }
    keyboardSynthesizer_->post(Shortcut::paste);
    const auto pastedAt = Clock::now();

    // The field shows the paste once the application has fetched the clipboard and applied it;
    // what it holds then tells whether the paste landed. A rich field may show a paste in steps
    // (its tree rebuilt, a new paragraph empty at first): anything but the pasted text counts
    // once the field holds still, and a paste that seems cut short is watched while the loan
    // runs.
    auto verdict = WriteVerdict::untouched;
    std::optional<std::string> now;
    const bool singleLine = selection.singleLine;
    auto changedAt = pastedAt;
    while (Clock::now() - pastedAt < timings_.clipboardRestoreDelay) {
        co_await pasteWait(pasteLandingPoll, loan);
        auto read = co_await fieldText(request.element);
        if (read && read != now) {
            now = std::move(read);
            changedAt = Clock::now();
            verdict = judgeWrite(request.originalText, request.fullReplacement, *now, singleLine,
                                 selection.pasted);
        }
        if (verdict == WriteVerdict::landed)
            break;
        const bool settled = verdict != WriteVerdict::untouched &&
                             verdict != WriteVerdict::cutShort &&
                             Clock::now() - changedAt >= pasteSettleQuiet;
        if (settled)
            break;
    }
    // A field the paste changed otherwise than meant may hold it beside the user's edit.
    if (verdict == WriteVerdict::changed || verdict == WriteVerdict::landedThenEdited) {
        if (co_await repairAroundPaste(request, loan, selection, *now, loan.lentText()))
            verdict = WriteVerdict::changed;
    }
    // A paste that never came leaves our selection standing: the user's next key would replace it.
    if (verdict == WriteVerdict::untouched) {
        if (auto field = co_await fieldText(request.element); field == request.originalText)
            co_await dropPasteSelection(request, loan, selection, *field);
    }
    // The user's keys go after the pasted text (or after their own, put back).
    held.release();
    // The target may ask for the clipboard's other types later still: the loan runs its time,
    // from the last paste it served (a repair's, a dropped selection's).
    co_await runOutLoan(loan, std::max(pastedAt, loan.relentAt().value_or(pastedAt)));
    logReturn(loan.giveBack(), restoredLine);

    if (verdict == WriteVerdict::untouched)
        throw AccessibilityError(Kind::cannotWriteValue);
    if (verdict == WriteVerdict::cutShort)
        throw FieldCutShortError();
    if (verdict == WriteVerdict::changed)
        throw FieldChangedError();
}

Awaitable<void> AppCoordinator::runOutLoan(ClipboardLoan& loan, Clock::time_point pastedAt) {
    const auto lent = Clock::now() - pastedAt;
    if (lent < timings_.clipboardRestoreDelay)
        co_await pasteWait(timings_.clipboardRestoreDelay - lent, loan);
}

Awaitable<bool> AppCoordinator::repairAroundPaste(const WriteBackRequest& request,
                                                  ClipboardLoan& loan, PasteSelection selection,
                                                  std::string now, std::string pasted) {
    const auto caretNow = pasted.empty() ? std::nullopt : co_await caretOffset(request.element);
    const auto repair =
        userTextAroundPaste({request.originalText, selection.range, selection.caretBefore, pasted,
                             request.fullReplacement, now, caretNow});
    if (!repair)
        co_return false;
    logLine(
        "⚠️ [Pennial] The text changed as the paste went in - putting back the user's text");
    // The same keys as the paste, with the user's text lent: only onto the field as it was read,
    // and never over a copy the user made meanwhile.
    const bool intact = loan.holdsLentText() && co_await hasFocus(request.element) &&
                        co_await fieldText(request.element) == now;
    if (intact) {
        loan.lend(repair->text);
        keyboardSynthesizer_->post(Shortcut::selectAll);
        keyboardSynthesizer_->post(Shortcut::paste);
        const auto sentAt = Clock::now();
        while (Clock::now() - sentAt < timings_.clipboardRestoreDelay) {
            co_await pasteWait(pasteLandingPoll, loan);
            const auto field = co_await fieldText(request.element);
            if (field == repair->text) {
                if (repair->caret)
                    co_await placeCaret(request.element, *repair->caret);
                logLine("✅ [Pennial] The user's text is back");
                co_return true;
            }
            if (field != now)
                break; // the user goes on typing: what the field holds is theirs
        }
    }
    logLine("❌ [Pennial] The user's text could not be put back");
    co_return true;
}

Awaitable<void> AppCoordinator::dropPasteSelection(const WriteBackRequest& request,
                                                   ClipboardLoan& loan, PasteSelection selection,
                                                   std::string now) {
    // Not read first: browsers apply a selection after answering for it, and report it later.
    // The user typed at their caret: it has moved on by what they added.
    const auto added = static_cast<std::int64_t>(unicode::utf16Length(now)) -
                       static_cast<std::int64_t>(unicode::utf16Length(request.originalText));
    if (selection.caretBefore &&
        co_await placeCaret(request.element,
                            std::max<std::int64_t>(0, *selection.caretBefore + added)))
        co_return;
    // A field that takes no caret from us, all of it selected by the keyboard: its own text
    // pasted over the selection ends it, the caret at the end.
    const auto whole = static_cast<std::int64_t>(unicode::utf16Length(now));
    const auto selected = co_await selectedRange(request.element);
    if (!selected || selected->location != 0 || selected->length != whole || whole == 0 ||
        !loan.holdsLentText() || !co_await hasFocus(request.element))
        co_return;
    loan.lend(now);
    keyboardSynthesizer_->post(Shortcut::paste);
    const auto sentAt = Clock::now();
    while (Clock::now() - sentAt < timings_.clipboardRestoreDelay) {
        co_await pasteWait(pasteLandingPoll, loan);
        const auto field = co_await selectedRange(request.element);
        if (field && field->length == 0)
            co_return;
    }
}

Awaitable<std::optional<AXRange>> AppCoordinator::selectedRange(AccessibleElement element) {
    auto read = [element = std::move(element)] {
        return ax::readBoxed<AXRange>(*element.accessibility(), element.element(),
                                      ax::attribute::selectedTextRange);
    };
    co_return co_await runOn(sharedPool().get_executor(), std::move(read));
}

Awaitable<std::optional<std::int64_t>> AppCoordinator::caretOffset(AccessibleElement element) {
    const auto selection = co_await selectedRange(std::move(element));
    if (!selection)
        co_return std::nullopt;
    co_return selection->location + selection->length;
}

Awaitable<bool> AppCoordinator::placeCaret(AccessibleElement element, std::int64_t offset) {
    try {
        co_await accessibilityMonitor_->selectRange({offset, 0}, std::move(element));
        co_return true;
    } catch (...) {
        // A field that takes no selection keeps the caret where the paste left it.
        if (isCancellation(std::current_exception()))
            throw;
    }
    co_return false;
}

Awaitable<bool> AppCoordinator::hasFocus(AccessibleElement element) {
    std::optional<AccessibleElement> focused;
    try {
        focused = co_await accessibilityMonitor_->getFocusedElement();
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
    }
    if (!focused || !(*focused == element))
        co_return false;
    auto sameProcess = [focused = std::move(*focused), element = std::move(element)] {
        auto pid = element.processId();
        return pid.has_value() && focused.processId() == pid;
    };
    co_return co_await runOn(sharedPool().get_executor(), std::move(sameProcess));
}

Awaitable<void> AppCoordinator::requireKeyboardPaste(AccessibleElement element) {
    if (!clipboard_ || !keyboardSynthesizer_ || !keyboardSynthesizer_->ready())
        throw KeyboardPasteError(KeyboardPasteError::Kind::unavailable);
    if (!clipboardReachesPastes_)
        co_return;
    auto reaches = [element = std::move(element), reaches = clipboardReachesPastes_] {
        const auto pid = element.processId();
        return !pid || reaches(*pid);
    };
    // Control+V would paste whatever the application sees there instead: over a selection, the
    // user's text would be lost.
    if (!co_await runOn(sharedPool().get_executor(), std::move(reaches))) {
        logLine("⚠️ [Pennial] Keyboard paste skipped: this desktop does not hand our clipboard "
                "to native Wayland applications");
        throw KeyboardPasteError(KeyboardPasteError::Kind::unavailable);
    }
}

Awaitable<void> AppCoordinator::requireFocus(AccessibleElement element) {
    if (!co_await hasFocus(std::move(element)))
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
}

} // namespace pennial
