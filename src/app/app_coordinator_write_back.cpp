// Write-back: the result goes into the field by the first of four methods that writes it (range
// replacement, whole value, targeted keyboard paste, select-all keyboard paste). A method counts
// only once the field holds the new text; the keyboard pastes lend the clipboard and give it back.

#include "app/app_coordinator.hpp"
#include "app/clipboard_loan.hpp"
#include "app/single_line_text.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/accessibility_monitor.hpp"
#include "text/run_on.hpp"

#include <system_error>

namespace pennial {

namespace {

using Kind = AccessibilityError::Kind;

// The field must hold expected now; a write the application took differently did not succeed.
Awaitable<void> requireText(AccessibilityMonitor& monitor, AccessibleElement element,
                            std::string expected) {
    if (co_await monitor.getText(std::move(element)) != expected)
        throw AccessibilityError(Kind::cannotWriteValue);
}

// As requireText, after a paste. A single-line field holds a pasted text's line breaks as spaces
// (or without them), and that is the text as intended. The application may still be busy with the
// paste: a read that fails or differs is made again before the paste counts as failed, since the
// next method would paste a second time.
Awaitable<void> requirePasted(AccessibilityMonitor& monitor, AccessibleElement element,
                              std::string expected) {
    constexpr int reads = 3;
    constexpr auto pause = std::chrono::milliseconds(100);
    auto isSingleLine = [element] {
        auto role = element.getAttribute(ax::attribute::role);
        const auto* name = role ? role->get<std::string>() : nullptr;
        return name && *name == ax::role::textField;
    };
    std::exception_ptr failure;
    for (int read = 1; read <= reads; ++read) {
        try {
            const auto actual = co_await monitor.getText(element);
            if (actual == expected)
                co_return;
            if (heldOnOneLine(actual, expected) &&
                co_await runOn(sharedPool().get_executor(), isSingleLine))
                co_return;
            failure = std::make_exception_ptr(AccessibilityError(Kind::cannotWriteValue));
        } catch (const AccessibilityError&) {
            failure = std::current_exception();
        }
        if (read < reads && co_await sleepFor(pause) == SleepResult::cancelled)
            throw std::system_error(asio::error::operation_aborted);
    }
    std::rethrow_exception(failure);
}

// Waits, unless the trigger's handling is cancelled: then the clipboard goes back at once.
Awaitable<void> pasteWait(std::chrono::steady_clock::duration duration, ClipboardLoan& loan) {
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

} // namespace

Awaitable<WriteMethod> AppCoordinator::writeBack(WriteBackRequest request) {
    const AXRange range{0, request.replacedLength};
    const bool announce = request.announce;
    std::exception_ptr failure;

    try {
        co_await accessibilityMonitor_->replaceRange(range, request.rangeReplacement,
                                                     request.element);
        if (announce)
            logLine("✅ [Pennial] Text replaced via range replacement");
        co_return WriteMethod::rangeReplacement;
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    logf("⚠️ [Pennial] Range replacement failed ({}), trying full text replacement",
         describeError(failure));

    try {
        co_await accessibilityMonitor_->setText(request.fullReplacement, request.element);
        co_await requireText(*accessibilityMonitor_, request.element, request.fullReplacement);
        if (announce)
            logLine("✅ [Pennial] Text set via full replacement");
        co_return WriteMethod::fullReplacement;
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure))
        std::rethrow_exception(failure);
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
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    logf("⚠️ [Pennial] Targeted paste failed ({}), falling back to full keyboard paste",
         describeError(failure));

    co_await pasteViaKeyboard(request.fullReplacement, range, request);
    co_return WriteMethod::keyboardPaste;
}

Awaitable<void> AppCoordinator::pasteViaKeyboardTargeted(std::string text, AXRange range,
                                                         WriteBackRequest request) {
    if (!clipboard_ || !keyboardSynthesizer_)
        throw KeyboardPasteError(KeyboardPasteError::Kind::unavailable);
    // The range was measured on the original text; over anything else it would cut the wrong
    // characters.
    co_await requireText(*accessibilityMonitor_, request.element, request.originalText);
    co_await accessibilityMonitor_->selectRange(range, request.element);
    co_await requireFocus(request.element);

    ClipboardLoan loan(clipboard_, text);
    co_await pasteWait(timings_.targetedPasteDelay, loan);
    // The wait let the user move on: the paste goes only where the selection was made.
    if (!co_await hasFocus(request.element)) {
        loan.giveBack();
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
    }
    keyboardSynthesizer_->post(Shortcut::paste);
    co_await pasteWait(timings_.clipboardRestoreDelay, loan);
    logReturn(loan.giveBack(), "✅ [Pennial] Clipboard restored after targeted keyboard paste");

    co_await requirePasted(*accessibilityMonitor_, request.element, request.fullReplacement);
}

Awaitable<void> AppCoordinator::pasteViaKeyboard(std::string text, AXRange,
                                                 WriteBackRequest request) {
    if (!clipboard_ || !keyboardSynthesizer_)
        throw KeyboardPasteError(KeyboardPasteError::Kind::unavailable);
    // Select-all takes whatever control has the keyboard: only the trigger's own field will do.
    co_await requireFocus(request.element);

    ClipboardLoan loan(clipboard_, text);
    keyboardSynthesizer_->post(Shortcut::selectAll);
    co_await pasteWait(timings_.selectAllDelay, loan);
    if (!co_await hasFocus(request.element)) {
        loan.giveBack();
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
    }
    keyboardSynthesizer_->post(Shortcut::paste);
    co_await pasteWait(timings_.clipboardRestoreDelay, loan);
    logReturn(loan.giveBack(), "✅ [Pennial] Clipboard restored after keyboard paste");

    co_await requirePasted(*accessibilityMonitor_, request.element, request.fullReplacement);
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

Awaitable<void> AppCoordinator::requireFocus(AccessibleElement element) {
    if (!co_await hasFocus(std::move(element)))
        throw KeyboardPasteError(KeyboardPasteError::Kind::focusMoved);
}

} // namespace pennial
