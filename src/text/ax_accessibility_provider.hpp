#pragma once
// The accessibility provider over the platform's accessibility facility. Writes and workspace
// look-ups run on the main executor; reads, waits and the whole context capture on the capture
// executor, whatever executor the caller is on. It keeps no state its operations share.

#include "platform/accessibility.hpp"
#include "platform/screens.hpp"
#include "platform/workspace.hpp"
#include "text/accessibility_provider.hpp"
#include "text/capture_scope.hpp"
#include "text/context_strategy_router.hpp"
#include "text/field_write.hpp"

#include <chrono>
#include <memory>

namespace pennial {

class AXAccessibilityProvider : public AccessibilityProvider {
public:
    struct Facilities {
        std::shared_ptr<Accessibility> accessibility;
        std::shared_ptr<Workspace> workspace;
        std::shared_ptr<Screens> screens;
        Executor mainExecutor;
        Executor captureExecutor = sharedPool().get_executor();
        // The clock the capture's deadline is measured on.
        CaptureDeadline::Now now = CaptureDeadline::Clock::now;
    };

    // How long a write that shows no effect yet is given to show one before it counts as refused.
    static constexpr std::chrono::milliseconds setValueSettle{10};
    static constexpr std::chrono::milliseconds replaceRangeSettle{20};
    // How often the field is read while a write settles.
    static constexpr std::chrono::milliseconds settlePoll{5};

    AXAccessibilityProvider(std::shared_ptr<ContextStrategyRouter> strategyRouter,
                            Facilities facilities);

    bool checkPermissions() override;
    void requestPermissions() override;
    Awaitable<std::optional<AccessibleElement>> getFocusedElement() override;
    Awaitable<std::string> getValue(AccessibleElement element) override;
    Awaitable<void> setValue(std::string text, AccessibleElement element,
                             std::optional<std::string> expected = std::nullopt) override;
    Awaitable<Point> getCaretPosition(AccessibleElement element) override;
    Awaitable<Point> getPosition(AccessibleElement element) override;
    Awaitable<bool> isSecureField(AccessibleElement element) override;
    Awaitable<void> selectRange(AXRange range, AccessibleElement element,
                                std::optional<std::string> expected = std::nullopt) override;
    Awaitable<void> replaceRange(AXRange range, std::string text, AccessibleElement element,
                                 std::optional<std::string> expected = std::nullopt) override;
    Awaitable<std::optional<AppContext>> captureContext(AccessibleElement element) override;
    std::optional<AXRestMark> restMark() const override {
        return facilities_.accessibility->restMark();
    }
    std::optional<std::uint64_t> restSerial() const override {
        return facilities_.accessibility->restSerial();
    }
    const std::atomic<std::uint64_t>* restCounter() const override {
        return facilities_.accessibility->restCounter();
    }
    bool renewRest() override { return facilities_.accessibility->renewRest(); }

private:
    // The synchronous steps, run on the right executor by the operations above.
    // What a search for the focused element has found out so far: the focused application's
    // reads come first, the frontmost application's only when those give nothing.
    struct FocusSearch {
        bool fallBackToFrontmost = false;
        std::optional<Pid> frontmost;
        bool apiDisabled = false;
    };
    std::optional<AccessibleElement> focusedElementNow(FocusSearch& search) const;
    std::string valueNow(const AXElement& element) const;
    Point positionNow(const AXElement& element) const;
    std::optional<Point> caretPointNow(const AXElement& element) const;
    bool isSecureNow(const AXElement& element) const;
    // The field's text as its application holds it now (never a kept copy): writes check it.
    std::optional<std::string> readValueText(const AXElement& element) const;
    bool isSingleLineNow(const AXElement& element) const;

    // What one write step saw: the field before it, whether the platform accepted the write, the
    // field right after it.
    struct WriteStep {
        std::optional<std::string> before;
        AXError result = AXError::success;
        std::optional<std::string> after;
        std::optional<std::int64_t> caret; // the user's, before the write
    };
    struct WriteJudgement {
        WriteVerdict verdict;
        std::optional<std::string> now; // the field as the verdict saw it
    };
    // Judges the write by the field right after it, or, when that shows no effect yet, after
    // settle.
    // written is where the written text stands in intended.
    Awaitable<WriteJudgement> judgeWritten(AXElement element, WriteStep step, std::string intended,
                                           AXRange written, std::chrono::milliseconds settle);
    // Puts the caret where the user's typing point is in the written text, unless the field
    // holds anything but that text by then (the user typed: the caret is theirs).
    Awaitable<void> placeCaretAfterWrite(const AXElement& element, const std::string& written,
                                         std::int64_t caret);
    // Puts the text a half-applied range replacement removed back; throws FieldNotRestoredError
    // when the field cannot be brought back to before.
    Awaitable<void> restoreRemoved(const AXElement& element, AXRange range,
                                   const std::string& before, const std::string& removed);
    AppContext contextNow(const AXElement& element, Pid pid,
                          const std::optional<RunningApplication>& frontmost,
                          const CaptureDeadline& deadline) const;

    std::shared_ptr<ContextStrategyRouter> strategyRouter_;
    Facilities facilities_;
    Executor writes_; // a strand over the capture executor
};

} // namespace pennial
