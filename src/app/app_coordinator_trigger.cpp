// The trigger road: from a trigger the monitor (or the palette) reports to the result written
// into the field, with every ending; the monitor's errors and an expired session.

#include "app/app_coordinator.hpp"
#include "app/trigger_text.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "base/race.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "services/auth_error.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/transform_service.hpp"
#include "text/accessibility_error.hpp"
#include "text/accessibility_monitor.hpp"
#include "text/ax_reads.hpp"
#include "text/field_write.hpp"
#include "text/run_on.hpp"

#include <system_error>

namespace pennial {

using Clock = std::chrono::steady_clock;

// One trigger from its acceptance to its ending.
struct AppCoordinator::TriggerRun {
    std::string commandName;
    std::string fullPattern;
    std::optional<long long> triggerOffset; // as reported
    Clock::time_point start;
    std::optional<Command> command;
};

namespace {

std::size_t characters(std::string_view text) {
    return unicode::graphemeCount(text);
}

// Seconds as a decimal with at least one digit after the point: "1.5", "2.0".
std::string decimalSeconds(Clock::duration duration) {
    auto text = fmt::format("{}", std::chrono::duration<double>(duration).count());
    if (text.find_first_of(".e") == std::string::npos)
        text += ".0";
    return text;
}

std::optional<std::string> unlessEmpty(std::string text) {
    if (text.empty())
        return std::nullopt;
    return text;
}

[[noreturn]] void throwCancellation() {
    throw std::system_error(asio::error::operation_aborted);
}

bool isMissingSession(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const AuthError& authError) {
        return authError.kind() == AuthError::Kind::sessionExpired ||
               authError.kind() == AuthError::Kind::noSession;
    } catch (...) {
        return false;
    }
}

// Whether the error is an Error.
template <class Error> bool isErrorOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Error&) {
        return true;
    } catch (...) {
        return false;
    }
}

// Reads the field every interval until its text differs from baseline, and ends then with a
// cancellation; a field that can no longer be read ends it with that error. It never returns.
Awaitable<void> watchForTextChange(AccessibleElement element, std::string baseline,
                                   Clock::duration interval) {
    for (;;) {
        if (co_await sleepFor(interval) == SleepResult::cancelled)
            throwCancellation();
        auto readValue = [element] {
            auto value = element.accessibility()->copyAttributeValue(element.element(),
                                                                     ax::attribute::value);
            return std::pair(value.error(), ax::stringOf(value));
        };
        auto [error, text] = co_await runOn(sharedPool().get_executor(), std::move(readValue));
        if (error == AXError::apiDisabled)
            throw AccessibilityError(AccessibilityError::Kind::permissionDenied);
        if (!text)
            throw AccessibilityError(AccessibilityError::Kind::cannotReadValue);
        if (*text != baseline) {
            logLine("⚠️ [Pennial] Text changed - cancelling");
            throwCancellation();
        }
    }
}

struct TransformCall {
    std::string text;
    Command command;
    std::optional<AppContext> context;
    std::optional<std::string> userDisplayNames;
    std::optional<std::string> userWritingContext;
};

// The transform raced against the watcher: the first to end decides, an error included; the
// other is cancelled (an HTTP call in flight is abandoned) and awaited.
Awaitable<TransformResponse> transformWhileWatching(TransformService& service, TransformCall call,
                                                    AccessibleElement element, std::string baseline,
                                                    Clock::duration interval) {
    auto transform =
        service.transform(std::move(call.text), std::move(call.command), std::move(call.context),
                          std::move(call.userDisplayNames), std::move(call.userWritingContext));
    auto watcher = watchForTextChange(std::move(element), std::move(baseline), interval);
    auto winner = co_await race(std::move(transform), std::move(watcher));
    if (winner.index() != 0)
        throwCancellation(); // the watcher ends only by throwing
    co_return std::get<0>(std::move(winner));
}

} // namespace

Awaitable<void> AppCoordinator::handleTrigger(std::string commandName, std::string fullPattern,
                                              std::optional<long long> triggerOffset) {
    // A trigger not run leaves the palette's keys as the palette wants them.
    if (isTransformInProgress_ || shouldSuppressTriggerInOwnUI()) {
        updateWantedPaletteKeys();
        co_return;
    }
    const auto now = Clock::now();
    if (lastTransformTime_ && now - *lastTransformTime_ < transformCooldown_) {
        logf("⏳ [Pennial] Debounce: skipping trigger within {}s of last transform",
             decimalSeconds(transformCooldown_));
        updateWantedPaletteKeys();
        co_return;
    }

    isTransformInProgress_ = true;
    updateWantedPaletteKeys();
    TriggerRun run{std::move(commandName), std::move(fullPattern), triggerOffset, now, {}};
    std::exception_ptr escaped;
    try {
        co_await runTrigger(run);
    } catch (...) {
        // runTrigger ends every failure of the road itself; only the handler's own
        // cancellation gets here, and the pipeline must be idle after it all the same.
        escaped = std::current_exception();
    }
    isTransformInProgress_ = false;
    updateWantedPaletteKeys();
    if (escaped)
        std::rethrow_exception(escaped);
}

bool AppCoordinator::shouldSuppressTriggerInOwnUI() {
    auto frontmost = workspace_->frontmostApplication();
    if (!frontmost || frontmost->processIdentifier != workspace_->currentProcessId())
        return false;
    for (const auto& window : workspace_->ownWindows())
        if (window.identifier == "onboarding" && window.isVisible)
            return false;
    return true;
}

Awaitable<void> AppCoordinator::runTrigger(TriggerRun& run) {
    activeTriggerFullPattern_.reset();
    activeTriggerOffset_.reset();
    stopPaletteKeyControl();
    logf("🔵 [Pennial] Trigger detected: {}", run.commandName);
    publish([&](CoordinatorState& state) {
        state.statusMessage = "Processing " + run.commandName + "...";
    });

    run.command = co_await configService_->getCommand(run.commandName);
    if (!run.command) {
        logf("❌ [Pennial] Unknown command: {}", run.commandName);
        publish([&](CoordinatorState& state) {
            state.lastError = "Unknown command: " + run.commandName;
            state.statusMessage = "Command not found";
        });
        co_return;
    }
    logf("✅ [Pennial] Command found: {}", run.command->name);

    std::exception_ptr failure;
    try {
        co_await processTrigger(run);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure)
        co_await finishWithError(run, failure);
}

Awaitable<void> AppCoordinator::processTrigger(TriggerRun& run) {
    const Command& command = *run.command;
    const auto element = co_await accessibilityMonitor_->getFocusedElement();
    logLine("✅ [Pennial] Got focused element");
    if (co_await accessibilityMonitor_->isSecureField(element)) {
        logLine("🔒 [Pennial] Secure field detected - skipping transformation");
        publish([](CoordinatorState& state) {
            state.statusMessage = "Secure field - transformation disabled";
        });
        co_return;
    }

    const auto originalText = co_await accessibilityMonitor_->getText(element);
    logf("✅ [Pennial] Got current text (length: {})", characters(originalText));
    // The field may have moved on since the trigger was seen: the trigger is cut out where it
    // stands now, or not at all.
    const auto triggerOffset = locateTrigger(originalText, run.fullPattern, run.triggerOffset);
    if (!triggerOffset) {
        co_await finishWithoutTrigger(run);
        co_return;
    }
    const auto split =
        TextProcessing::splitAtTrigger(originalText, run.fullPattern, *triggerOffset);
    logf("✅ [Pennial] Text to transform (length: {}), preserved suffix (length: {}), text after "
         "trigger (length: {})",
         characters(split.textBefore), characters(split.suffix), characters(split.textAfter));
    const auto replacedLength =
        *triggerOffset + static_cast<long long>(unicode::utf16Length(run.fullPattern));

    if (isPlainSnippet(command)) {
        auto replacements = replacementsFor(command, split, command.content);
        WriteBackRequest request{element,
                                 replacedLength,
                                 std::move(replacements.rangeReplacement),
                                 std::move(replacements.fullReplacement),
                                 originalText,
                                 false,
                                 command.content};
        co_await writeBack(std::move(request));
        hideOverlayUnlessPreviewing();
        lastTransformTime_ = Clock::now();
        publish([&](CoordinatorState& state) {
            state.statusMessage = "✓ Inserted " + run.commandName;
            state.lastError.reset();
        });
        co_await textMonitor_->commandCompleted(run.commandName);
        co_return;
    }

    spinner_->transitionToProcessing();
    auto context = co_await accessibilityMonitor_->captureContext(element);
    if (context)
        logf("✅ [Pennial] Context captured: {} \u2013 {}", context->appName, context->windowTitle);

    std::optional<std::string> freshText;
    try {
        freshText = co_await accessibilityMonitor_->getText(element);
    } catch (...) {
        if (isCancellation(std::current_exception()))
            throw;
    }
    if (freshText && *freshText != originalText) {
        logf("⚠️ [Pennial] monitorBaseline differs from originalText! original={} baseline={}",
             characters(originalText), characters(*freshText));
        // Whatever was typed since the first read would be overwritten by a result made from the
        // older text: this is an edit during the call, come early.
        throwCancellation();
    }
    const std::string& monitorBaseline = originalText;

    auto config = co_await configService_->loadConfiguration();
    TransformCall call{command.replaceText ? split.textBefore : std::string(), command,
                       std::move(context), unlessEmpty(std::move(config.userDisplayNames)),
                       unlessEmpty(std::move(config.userWritingContext))};
    logLine("🌐 [Pennial] Calling API...");
    auto response =
        co_await transformWhileWatching(*transformService_, std::move(call), element,
                                        monitorBaseline, timings_.textChangePollInterval);

    const auto apiTime = response.processingTimeMs.value_or(0);
    logf("✅ [Pennial] API response received (length: {}, time: {}ms)",
         characters(response.transformedText), apiTime);
    auto replacements = replacementsFor(command, split, response.transformedText);
    logf("🔵 [Pennial] Replacing range 0..{} with text (length: {})...", replacedLength,
         characters(replacements.rangeReplacement));
    WriteBackRequest request{element,
                             replacedLength,
                             std::move(replacements.rangeReplacement),
                             std::move(replacements.fullReplacement),
                             originalText,
                             true,
                             response.transformedText};
    co_await writeBack(std::move(request));

    hideOverlayUnlessPreviewing();
    const auto end = Clock::now();
    const auto total = std::chrono::duration_cast<std::chrono::milliseconds>(end - run.start);
    logf("⏱️ [Pennial] Total transformation time: {}ms (API: {}ms)", total.count(), apiTime);
    lastTransformTime_ = end;
    publish([&](CoordinatorState& state) {
        state.statusMessage =
            fmt::format("✓ {} {} ({}ms)", command.replaceText ? "Transformed with" : "Inserted",
                        run.commandName, total.count());
        state.lastError.reset();
    });
    co_await textMonitor_->commandCompleted(run.commandName);
}

Awaitable<void> AppCoordinator::finishWithoutTrigger(TriggerRun& run) {
    logLine("⚠️ [Pennial] Trigger no longer in the text - nothing written");
    hideOverlayUnlessPreviewing();
    co_await textMonitor_->commandFailed(run.commandName);
    publish([](CoordinatorState& state) {
        state.statusMessage = "Trigger not found - nothing written";
        state.lastError = "The trigger was no longer in the text";
    });
}

Awaitable<void> AppCoordinator::finishWithError(TriggerRun& run, std::exception_ptr error) {
    if (isCancellation(error)) {
        logLine("⚠️ [Pennial] Transformation cancelled (text changed during API call)");
        lastTransformTime_ = Clock::now();
        hideOverlayUnlessPreviewing();
        co_await textMonitor_->commandFailed(run.commandName);
        publish([](CoordinatorState& state) {
            state.statusMessage = "Cancelled - text changed";
            state.lastError.reset();
        });
        co_return;
    }
    if (isMissingSession(error)) {
        logLine("[Pennial] Auth session expired or missing");
        hideOverlayUnlessPreviewing();
        co_await textMonitor_->commandFailed(run.commandName);
        co_await handleAuthExpired();
        crashReporter_->addBreadcrumb(breadcrumb("auth", "Session expired during transform"));
        co_return;
    }
    const auto description = describeError(error);
    logf("❌ [Pennial] Error: {}", description);
    if (isErrorOf<FieldCutShortError>(error)) {
        // The field's own limit, not a fault: the user's text is back, the result at hand.
        hideOverlayUnlessPreviewing();
        co_await textMonitor_->commandFailed(run.commandName);
        publish([&](CoordinatorState& state) {
            state.lastError = "Transformation failed: " + description;
            state.statusMessage = "The field cut the result short - it is on the clipboard";
        });
        co_return;
    }
    hideOverlayUnlessPreviewing();
    co_await textMonitor_->commandFailed(run.commandName);
    const bool resultOnClipboard = isErrorOf<FieldNotRestoredError>(error) && clipboard_;
    publish([&](CoordinatorState& state) {
        state.lastError = "Transformation failed: " + description;
        state.statusMessage = resultOnClipboard ? "Error occurred - the result is on the clipboard"
                                                : "Error occurred";
    });
    crashReporter_->captureError(error);
}

Awaitable<void> AppCoordinator::handleError(std::exception_ptr error) {
    auto description = describeError(error);
    publish([&](CoordinatorState& state) {
        state.lastError = description;
        state.statusMessage = "Ready";
    });
    stopPaletteKeyControl();
    hideOverlayUnlessPreviewing();
    co_return;
}

Awaitable<void> AppCoordinator::handleAuthExpired() {
    co_await authService_->signOut();
    publish([](CoordinatorState& state) {
        state.isAuthenticated = false;
        state.lastError = "Session expired. Please sign in again.";
    });
    userEmail_.reset();
    co_await stopMonitoring();
    refreshOnboardingPresentation();
}

} // namespace pennial
