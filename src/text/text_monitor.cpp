#include "text/text_monitor.hpp"

#include "base/error_text.hpp"
#include "base/log.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "text/accessibility_error.hpp"
#include "text/run_on.hpp"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/cancellation_signal.hpp>
#include <asio/cancellation_state.hpp>
#include <asio/co_spawn.hpp>
#include <asio/detached.hpp>
#include <asio/post.hpp>
#include <asio/this_coro.hpp>

namespace pennial {

using Kind = AccessibilityError::Kind;

// One run of the polling loop, from a start to the stop that ends it. Touched on the strand only.
struct TextMonitor::PollingLoop {
    Sleep sleep;
    RestingWait restingWait;
    bool stopped = false;
    asio::cancellation_signal wake; // cuts the wait between polls short
    bool evaluationQueued = false;  // activity came while a poll ran: the next one starts at once
    std::optional<AccessibleElement> lastElement;
    long pollNumber = 1;
    // The last poll found the field at rest (read from what the platform keeps, changing
    // nothing): the platform's mark then, and the monitor's count of changes.
    std::optional<AXRestMark> restingAt;
    std::uint64_t restingChanges = 0;
    // The application the keyboard fallback followed then: a poll that failed, and would fail
    // alike, rests with the fallback on.
    std::optional<Pid> restingFallback;

    void stop() {
        stopped = true;
        wake.emit(asio::cancellation_type::all);
    }
    void evaluateNow() {
        if (stopped)
            return;
        evaluationQueued = true;
        wake.emit(asio::cancellation_type::all);
    }
};

namespace {

std::optional<Kind> accessibilityKind(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const AccessibilityError& e) {
        return e.kind();
    } catch (...) {
        return std::nullopt;
    }
}

// The names as a bracketed, quoted list for the log: ["fix", "sig"]. Sorted, since it is a set,
// so the same names always log the same line.
std::string describe(const std::set<std::string>& names) {
    std::string text = "[";
    for (const auto& name : names) {
        if (text.size() > 1)
            text += ", ";
        text += '"' + name + '"';
    }
    return text + "]";
}

std::string attributeText(const AccessibleElement& element, std::string_view attribute,
                          std::string_view missing) {
    auto value = element.getAttribute(attribute);
    auto text = value ? value->asString() : std::nullopt;
    return text ? *text : std::string(missing);
}

void logElementChanged(const AccessibleElement& element, Pid pid, const std::string& text) {
    logf("🔍 [TextMonitor] Element changed: role={} subrole={} pid={} textLen={}",
         attributeText(element, ax::attribute::role, "unknown"),
         attributeText(element, ax::attribute::subrole, "nil"), pid, unicode::graphemeCount(text));
}

void logCannotRead(const AccessibleElement& element, Pid pid, const std::exception_ptr& error) {
    logf("⚠️ [TextMonitor] Cannot read text from element: role={} subrole={} desc={} pid={} "
         "error={}",
         attributeText(element, ax::attribute::role, "unknown"),
         attributeText(element, ax::attribute::subrole, "nil"),
         attributeText(element, ax::attribute::roleDescription, "nil"), pid, describeError(error));
}

} // namespace

std::shared_ptr<TextMonitor>
TextMonitor::create(std::shared_ptr<AccessibilityMonitor> accessibilityMonitor,
                    std::string triggerPattern, Facilities facilities, Executor base) {
    return std::make_shared<TextMonitor>(Token{}, std::move(accessibilityMonitor),
                                         std::move(triggerPattern), std::move(facilities),
                                         std::move(base));
}

TextMonitor::TextMonitor(Token, std::shared_ptr<AccessibilityMonitor> accessibilityMonitor,
                         std::string triggerPattern, Facilities facilities, Executor base)
    : Actor(std::move(base)), accessibilityMonitor_(std::move(accessibilityMonitor)),
      stateMachine_(std::move(triggerPattern)), facilities_(std::move(facilities)) {}

TextMonitor::~TextMonitor() {
    if (monitoringTask_)
        asio::post(executor(), [loop = monitoringTask_] { loop->stop(); });
    if (keyboardFallbackMonitor_)
        keyboardFallbackMonitor_->stop();
}

// ---- Operations ----------------------------------------------------------------------------

Awaitable<void> TextMonitor::setDelegate(std::weak_ptr<TextMonitorDelegate> delegate) {
    return runOn(executor(), [this, delegate = std::move(delegate)] {
        ++*stateChanges_;
        delegate_ = delegate;
    });
}

Awaitable<std::string> TextMonitor::getTriggerPattern() {
    return runOn(executor(), [this] { return stateMachine_.triggerPattern; });
}

Awaitable<void> TextMonitor::updateTriggerPattern(std::string pattern) {
    return runOn(executor(), [this, pattern = std::move(pattern)] {
        ++*stateChanges_;
        stateMachine_.triggerPattern = pattern;
        stateMachine_.activeTrigger.reset();
        stateMachine_.suppressedCommands.clear();
        stateMachine_.lastText.clear();
        stateMachine_.lastPreview.reset();
    });
}

Awaitable<void> TextMonitor::updateValidCommandNames(std::set<std::string> names) {
    return runOn(executor(), [this, names = std::move(names)] {
        logf("🔵 [TextMonitor] updateValidCommandNames: {}", describe(names));
        ++*stateChanges_;
        stateMachine_.validCommandNames = names;
    });
}

Awaitable<void> TextMonitor::updateAllowOwnProcessInputMonitoring(bool allow) {
    return runOn(executor(), [this, allow] {
        ++*stateChanges_;
        allowOwnProcessInputMonitoring_ = allow;
    });
}

Awaitable<void> TextMonitor::commandFailed(std::string name) {
    // The text that fired stays the last one seen: re-running a failed command on an unchanged
    // field would repeat the failure on every poll.
    return runOn(executor(), [this, name = std::move(name)] { releaseCommand(name); });
}

Awaitable<void> TextMonitor::commandCompleted(std::string name) {
    return runOn(executor(), [this, name = std::move(name)] { releaseCommand(name); });
}

void TextMonitor::releaseCommand(const std::string& name) {
    ++*stateChanges_;
    stateMachine_.suppressedCommands.erase(name);
    if (stateMachine_.activeTrigger && stateMachine_.activeTrigger->commandName == name)
        stateMachine_.activeTrigger.reset();
}

Awaitable<bool> TextMonitor::isMonitoring() {
    return runOn(executor(), [this] { return monitoring_; });
}

Awaitable<void> TextMonitor::startMonitoring() {
    return onStrand(startNow());
}

Awaitable<void> TextMonitor::stopMonitoring() {
    return runOn(executor(), [this] { stopNow(); });
}

Awaitable<void> TextMonitor::startNow() {
    if (monitoring_)
        co_return;
    ++*stateChanges_;
    monitoring_ = true;
    const auto attempt = ++startAttempts_;
    bool trusted = false;
    try {
        trusted = co_await accessibilityMonitor_->checkPermissions();
    } catch (...) {
        if (attempt == startAttempts_)
            monitoring_ = false;
        throw;
    }
    // A stop, or a stop and another start, while the check was out: this start is over.
    if (attempt != startAttempts_ || !monitoring_)
        co_return;
    if (!trusted) {
        monitoring_ = false;
        throw AccessibilityError(Kind::permissionDenied);
    }

    ownProcessID_ = facilities_.workspace->currentProcessId();
    secureFieldFocused_ = false;
    std::weak_ptr<TextMonitor> weak = weak_from_this();
    keyboardFallbackMonitor_ = std::make_shared<KeyboardTriggerMonitor>(
        [weak](const std::string& text, Pid pid) { onFallbackText(weak, text, pid); },
        KeyboardTriggerMonitor::Facilities{facilities_.keyEvents, facilities_.workspace,
                                           facilities_.mainExecutor});
    keyboardFallbackMonitor_->start();

    logf("🔵 [TextMonitor] Starting monitoring loop — pattern={} validCommands={} commandCount={}",
         stateMachine_.triggerPattern, describe(stateMachine_.validCommandNames),
         stateMachine_.validCommandNames.size());

    auto loop = std::make_shared<PollingLoop>();
    loop->sleep = facilities_.sleep;
    loop->restingWait = facilities_.restingWait;
    monitoringTask_ = loop;
    if (facilities_.fieldActivity) {
        // Called on the thread that noticed the activity: the loop is only touched on the strand.
        // A field followed by keyboard cannot be read: a poll started by its key presses would
        // only clear the fallback while the key's report comes in, and drop it.
        std::weak_ptr<PollingLoop> waiting = loop;
        fieldActivity_ = facilities_.fieldActivity->observe([strand = executor(), weak, waiting] {
            asio::post(strand, [weak, waiting] {
                auto self = weak.lock();
                auto loop = waiting.lock();
                if (self && loop && !self->keyboardFallbackProcessID_)
                    loop->evaluateNow();
            });
        });
    }
    // The wake signal is bound once, to the loop itself; the loop lets it through only while it
    // waits.
    asio::co_spawn(executor(), runLoop(weak, loop),
                   asio::bind_cancellation_slot(loop->wake.slot(), asio::detached));
}

void TextMonitor::stopNow() {
    ++*stateChanges_;
    monitoring_ = false;
    ++startAttempts_;
    fieldActivity_.reset();
    if (monitoringTask_) {
        monitoringTask_->stop();
        monitoringTask_.reset();
    }
    if (keyboardFallbackMonitor_) {
        keyboardFallbackMonitor_->stop();
        keyboardFallbackMonitor_.reset();
    }
    keyboardFallbackProcessID_.reset();
    fallbackInDoubt_.reset();
    heldFallbackReport_.reset();
    stateMachine_.activeTrigger.reset();
    stateMachine_.suppressedCommands.clear();
    stateMachine_.lastText.clear();
    stateMachine_.lastPreview.reset();
}

// ---- The polling loop ----------------------------------------------------------------------

Awaitable<void> TextMonitor::runLoop(std::weak_ptr<TextMonitor> weak,
                                     std::shared_ptr<PollingLoop> loop) {
    // Only the wait listens for the stop signal and for activity: the accessibility reads and the
    // delegate's calls always run to their end. A signal outside the wait is dropped here; the
    // loop's flags carry it.
    co_await asio::this_coro::throw_if_cancelled(false);
    co_await asio::this_coro::reset_cancellation_state(asio::disable_cancellation());
    bool hinted = false;
    for (bool first = true;; first = false) {
        {
            // Held for one poll only, so that a monitor dropped while the loop waits can go.
            auto self = weak.lock();
            if (!self || loop->stopped || !self->monitoring_)
                break;
            if (!first && ++loop->pollNumber % stillMonitoringLogEvery == 0)
                logf("🔄 [TextMonitor] Still monitoring (poll #{})...", loop->pollNumber);
            // A wait the timer ended, with nothing changed since a poll that changed nothing,
            // needs no poll.
            if (first || hinted || !self->atRest(*loop)) {
                try {
                    co_await self->poll(*loop);
                } catch (...) {
                    // poll routes every failure itself; nothing may end the loop but a stop.
                }
                if (loop->stopped)
                    break;
                self->releaseHeldFallbackReport(self);
            }
        }
        // Activity during the poll skips the wait.
        if ((hinted = std::exchange(loop->evaluationQueued, false)))
            continue;
        // At rest, the ticks that find it still at rest pass by inside the wait, counted there.
        auto passed = std::make_shared<std::atomic<long>>(0);
        std::function<bool()> resting;
        if (auto self = weak.lock())
            resting = self->restingCheck(*loop, passed);
        co_await asio::this_coro::reset_cancellation_state(asio::enable_total_cancellation());
        try {
            if (resting)
                co_await loop->restingWait(pollInterval, std::move(resting));
            else
                co_await loop->sleep(pollInterval);
        } catch (...) {
        }
        co_await asio::this_coro::reset_cancellation_state(asio::disable_cancellation());
        // Read once the wait has resumed this coroutine through its executor.
        loop->pollNumber += *passed;
        // The poll about to run answers whatever cut the wait short.
        hinted = std::exchange(loop->evaluationQueued, false);
    }
    logLine("🔵 [TextMonitor] Monitoring loop stopped");
}

std::function<bool()> TextMonitor::restingCheck(const PollingLoop& loop,
                                                std::shared_ptr<std::atomic<long>> passed) const {
    if (!loop.restingWait || !atRest(loop))
        return {};
    // What atRest reads besides the platform's mark changes only with the count of changes.
    auto provider = accessibilityMonitor_->provider();
    const auto* counter = provider->restCounter();
    return [provider, counter, changes = stateChanges_, restingChanges = loop.restingChanges,
            mark = *loop.restingAt, pollNumber = loop.pollNumber, passed = std::move(passed),
            renewing = false]() mutable {
        // The loop logs on its own tick, so the wait ends there.
        if ((pollNumber + *passed + 1) % stillMonitoringLogEvery == 0 || *changes != restingChanges)
            return false;
        // A mark is renewed a tick before it ends, so that what the renewal finds is looked at by
        // then: a change nothing reports is seen within a second and a tick.
        const auto now = std::chrono::steady_clock::now();
        auto renewDue = [](const AXRestMark& at) { return at.until - pollInterval; };
        // As few reads as a tick can make: most ticks of a loop at rest end here.
        const bool holds = counter ? counter->load(std::memory_order_acquire) == mark.serial &&
                                         now < renewDue(mark)
                                   : mark.stillHolds(provider->restMark()) && now < renewDue(mark);
        if (!holds) {
            // The platform reads again what a poll would; what it finds the same extends the
            // mark. A renewal not back by the mark's end leaves it to a poll.
            const auto renewed = provider->restMark();
            if (mark.stillHolds(renewed) && now < renewDue(*renewed)) {
                mark = *renewed;
                renewing = false;
            } else if (!mark.stillHolds(renewed)) {
                return false;
            } else if (!renewing) {
                if (provider->restSerial() != mark.serial || !provider->renewRest())
                    return false;
                renewing = true;
            }
        }
        ++*passed;
        return true;
    };
}

bool TextMonitor::atRest(const PollingLoop& loop) const {
    if (!loop.restingAt || loop.restingChanges != *stateChanges_ ||
        keyboardFallbackProcessID_ != loop.restingFallback || fallbackInDoubt_ ||
        heldFallbackReport_)
        return false;
    return loop.restingAt->stillHolds(accessibilityMonitor_->provider()->restMark());
}

Awaitable<void> TextMonitor::poll(PollingLoop& loop) {
    loop.restingAt.reset();
    const auto changesBefore = stateChanges_->load();
    const auto serialBefore = accessibilityMonitor_->provider()->restSerial();
    std::exception_ptr failure;
    std::optional<AccessibleElement> focused;
    try {
        focused = co_await accessibilityMonitor_->getFocusedElement();
    } catch (...) {
        failure = std::current_exception();
    }
    // A read that was out when monitoring stopped must not reach the freshly cleared state.
    if (loop.stopped)
        co_return;
    if (failure) {
        co_await handleFailure(failure, loop);
        restAfterFailure(failure, loop, serialBefore, changesBefore);
        co_return;
    }
    const AccessibleElement element = std::move(*focused);

    fallbackInDoubt_ = keyboardFallbackProcessID_;
    keyboardFallbackProcessID_.reset();
    const Pid pid = element.processId().value_or(0);
    if (pid == ownProcessID_ && !allowOwnProcessInputMonitoring_) {
        // Hides any palette and clears the active trigger while the user works in our windows.
        co_await evaluateWithoutText(element, pid, loop);
        co_return;
    }
    const bool secure = co_await focusIsSecure(element);
    if (loop.stopped)
        co_return;
    if (secure) {
        co_await evaluateWithoutText(element, pid, loop);
        co_return;
    }

    std::string text;
    try {
        text = co_await accessibilityMonitor_->getText(element);
    } catch (...) {
        failure = std::current_exception();
    }
    if (loop.stopped)
        co_return;
    if (failure) {
        if (!isCancellation(failure) && loop.pollNumber % cannotReadLogEvery == 1)
            logCannotRead(element, pid, failure);
        co_await handleFailure(failure, loop);
        restAfterFailure(failure, loop, serialBefore, changesBefore);
        co_return;
    }

    const bool elementChanged = !(loop.lastElement && *loop.lastElement == element);
    if (elementChanged) {
        logElementChanged(element, pid, text);
        loop.lastElement = element;
    }
    auto effects = stateMachine_.handleTextChange(text, pid, elementChanged);
    // Read with nothing changing in what the platform keeps, with the fallback off, changing
    // nothing: a poll while that holds would do the same.
    const bool quiet = !elementChanged && effects.empty() && !fallbackInDoubt_ && serialBefore;
    for (const auto& effect : effects)
        if (const auto* fired = std::get_if<Effect::TriggerDetected>(&effect.value))
            logf("🎯 [TextMonitor] Trigger detected: cmd={} pattern={} offset={}",
                 fired->commandName, fired->fullPattern, fired->triggerOffset);
    co_await dispatch(std::move(effects));
    if (quiet)
        restAt(loop, serialBefore, changesBefore);
}

void TextMonitor::restAt(PollingLoop& loop, std::optional<std::uint64_t> serialBefore,
                         std::uint64_t changesBefore) {
    if (loop.stopped || !serialBefore || *stateChanges_ != changesBefore)
        return;
    const auto markAfter = accessibilityMonitor_->provider()->restMark();
    if (AXRestMark::serialOf(markAfter) != serialBefore)
        return;
    loop.restingAt = markAfter;
    loop.restingChanges = changesBefore;
    loop.restingFallback = keyboardFallbackProcessID_;
}

void TextMonitor::restAfterFailure(const std::exception_ptr& failure, PollingLoop& loop,
                                   std::optional<std::uint64_t> serialBefore,
                                   std::uint64_t changesBefore) {
    // No field, or one that keeps its text: with nothing changed, the next poll would fail alike
    // and do what this one did.
    const auto kind = accessibilityKind(failure);
    if (kind == Kind::noFocusedElement || kind == Kind::cannotReadValue)
        restAt(loop, serialBefore, changesBefore);
}

Awaitable<void> TextMonitor::evaluateWithoutText(const AccessibleElement& element, Pid pid,
                                                 PollingLoop& loop) {
    const bool elementChanged = !(loop.lastElement && *loop.lastElement == element);
    auto effects = stateMachine_.handleTextChange("", pid, elementChanged);
    loop.lastElement = element;
    co_await dispatch(std::move(effects));
}

Awaitable<void> TextMonitor::handleFailure(std::exception_ptr failure, PollingLoop& loop) {
    // An aborted read is no error of the field's.
    if (isCancellation(failure))
        co_return;
    const auto kind = accessibilityKind(failure);
    if (kind == Kind::permissionDenied || kind == Kind::cannotReadValue) {
        // The field is there but keeps its text: follow the typing in its application instead.
        auto workspace = facilities_.workspace;
        auto frontmost = co_await runOn(facilities_.mainExecutor,
                                        [workspace] { return workspace->frontmostApplication(); });
        if (loop.stopped)
            co_return;
        keyboardFallbackProcessID_ =
            frontmost ? std::optional(frontmost->processIdentifier) : std::nullopt;
    }
    if (kind == Kind::permissionDenied || kind == Kind::cannotReadValue ||
        kind == Kind::noFocusedElement) {
        if (!keyboardFallbackProcessID_) {
            std::vector<Effect> hide{Effect::hidePreview()};
            co_await dispatch(std::move(hide));
        }
        co_return;
    }
    logf("❌ [TextMonitor] Non-transient error: {}", describeError(failure));
    if (auto delegate = delegate_.lock()) {
        try {
            co_await delegate->handleError(failure);
        } catch (...) {
        }
    }
}

Awaitable<bool> TextMonitor::focusIsSecure(const AccessibleElement& element) {
    // Asked on every poll: a field can turn into a password field while it has the focus.
    bool secure = true;
    try {
        secure = co_await accessibilityMonitor_->isSecureField(element);
    } catch (...) {
        // Unknown counts as secure; the element is asked again next time.
    }
    noteSecureFocus(secure);
    co_return secure;
}

void TextMonitor::noteSecureFocus(bool secure) {
    if (secure == secureFieldFocused_)
        return;
    secureFieldFocused_ = secure;
    if (keyboardFallbackMonitor_)
        keyboardFallbackMonitor_->setSecureFieldFocused(secure);
}

Awaitable<void> TextMonitor::dispatch(std::vector<Effect> effects) {
    // A palette shown for a trigger that fires in the same breath would hold the palette's keys
    // until the run began: a Return typed right after the trigger would run it once more instead
    // of reaching the field.
    const bool fires = std::any_of(effects.begin(), effects.end(), [](const Effect& effect) {
        return std::holds_alternative<Effect::TriggerDetected>(effect.value);
    });
    if (fires)
        std::erase_if(effects, [](const Effect& effect) {
            const auto* preview = std::get_if<Effect::PreviewUpdated>(&effect.value);
            return preview && preview->fullPattern;
        });
    for (auto& effect : effects) {
        if (const auto* notReady = std::get_if<Effect::NotReady>(&effect.value)) {
            logf("⚠️ [TextMonitor] {}", notReady->reason);
            continue;
        }
        auto delegate = delegate_.lock();
        if (!delegate)
            continue;
        try {
            if (auto* fired = std::get_if<Effect::TriggerDetected>(&effect.value)) {
                co_await delegate->handleTrigger(std::move(fired->commandName),
                                                 std::move(fired->fullPattern),
                                                 fired->triggerOffset);
            } else if (auto* preview = std::get_if<Effect::PreviewUpdated>(&effect.value)) {
                co_await delegate->handleTriggerQueryUpdate(
                    std::move(preview->fullPattern), std::move(preview->query),
                    preview->triggerOffset, preview->hasTextBeforeTrigger);
            }
        } catch (...) {
            // The delegate's calls do not throw; one that does must not end the poll's effects.
        }
    }
}

// ---- The keyboard fallback -----------------------------------------------------------------

void TextMonitor::onFallbackText(const std::weak_ptr<TextMonitor>& weak, std::string text,
                                 Pid pid) {
    if (auto self = weak.lock())
        asio::co_spawn(self->executor(), handleFallbackReport(self, std::move(text), pid),
                       asio::detached);
}

bool TextMonitor::acceptsFallbackReport(Pid pid) const {
    if (!monitoring_ || keyboardFallbackProcessID_ != pid)
        return false;
    return pid != ownProcessID_ || allowOwnProcessInputMonitoring_;
}

void TextMonitor::releaseHeldFallbackReport(const std::shared_ptr<TextMonitor>& self) {
    auto held = std::exchange(heldFallbackReport_, std::nullopt);
    fallbackInDoubt_.reset();
    if (held && acceptsFallbackReport(held->second))
        asio::co_spawn(executor(), handleFallbackReport(self, std::move(held->first), held->second),
                       asio::detached);
}

Awaitable<void> TextMonitor::handleFallbackReport(std::shared_ptr<TextMonitor> self,
                                                  std::string text, Pid pid) {
    const auto serial = ++self->fallbackReportsReceived_;
    ++*self->stateChanges_;
    if (!self->keyboardFallbackProcessID_ && self->fallbackInDoubt_ == pid) {
        // Each report carries the whole text: the latest is the one worth keeping.
        self->heldFallbackReport_.emplace(std::move(text), pid);
        co_return;
    }
    if (!self->acceptsFallbackReport(pid))
        co_return;
    // Focus may have moved to a password field since the last poll: typing there never reaches
    // detection, so the focused element is checked for every report.
    bool secure = true;
    try {
        auto element = co_await self->accessibilityMonitor_->getFocusedElement();
        secure = co_await self->focusIsSecure(element);
    } catch (...) {
        // Without a focused element to check, the report is not trusted; the next one carries
        // the whole text again.
    }
    if (secure || !self->acceptsFallbackReport(pid) || serial < self->lastFallbackReportEvaluated_)
        co_return;
    self->lastFallbackReportEvaluated_ = serial;
    auto effects = self->stateMachine_.handleTextChange(text, pid, false);
    co_await self->dispatch(std::move(effects));
}

} // namespace pennial
