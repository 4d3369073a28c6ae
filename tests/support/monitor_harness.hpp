#pragma once
// A text monitor on the simulated desktop with everything it touches (its strand, the accessibility
// reads, the main executor) on one io_context run by the test thread, so that a test steps it
// deterministically: settle() runs whatever is ready, nextPoll() lets one more poll happen.

#include "base/log.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/text_monitor.hpp"

#include <asio/co_spawn.hpp>
#include <asio/io_context.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
#include <asio/this_coro.hpp>
#include <asio/use_awaitable.hpp>
#include <fmt/format.h>
#include <string>
#include <vector>

namespace pennial {

// Stands in for the wait between polls: a wait lasts until the test releases it (or the monitor
// cuts it short), then lets its duration pass on the simulated clock.
class MonitorPollClock {
public:
    struct Wait {
        TextMonitor::Duration duration;
        SimClock::Clock::time_point startedAt; // simulated
    };

    explicit MonitorPollClock(SimClock& clock) : clock_(clock) {}

    TextMonitor::Sleep sleeper() {
        return [this](TextMonitor::Duration duration) -> Awaitable<SleepResult> {
            asio::steady_timer timer(co_await asio::this_coro::executor,
                                     SimClock::Clock::time_point::max());
            timer_ = &timer;
            waits_.push_back({duration, clock_.now()});
            std::error_code ignored;
            co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
            timer_ = nullptr;
            clock_.pass(duration);
            co_return SleepResult::elapsed; // the loop takes a cut-short wait the same way
        };
    }

    // The application's resting wait on this clock: each release ends one tick, at which the
    // check is asked whether to wait on.
    TextMonitor::RestingWait restingWait() {
        return [sleep = sleeper()](TextMonitor::Duration duration,
                                   std::function<bool()> resting) -> Awaitable<SleepResult> {
            for (;;) {
                const auto result = co_await sleep(duration);
                const auto state = co_await asio::this_coro::cancellation_state;
                if (state.cancelled() != asio::cancellation_type::none)
                    co_return SleepResult::cancelled;
                if (result == SleepResult::cancelled || !resting())
                    co_return result;
            }
        };
    }

    bool waiting() const { return timer_ != nullptr; }
    const std::vector<Wait>& waits() const { return waits_; }
    void release() {
        if (timer_)
            timer_->cancel();
    }

private:
    SimClock& clock_;
    asio::steady_timer* timer_ = nullptr;
    std::vector<Wait> waits_;
};

// Records each event as text: "trigger [fix] [;;fix] 6", "query [;;f] [f] 0 false", "hide",
// "error <what>". onTrigger runs inside the trigger's handling, as the coordinator's pipeline does.
class MonitorDelegateRecorder : public TextMonitorDelegate {
public:
    Awaitable<void> handleTrigger(std::string name, std::string pattern,
                                  std::optional<long long> offset) override {
        events_.push_back(fmt::format("trigger [{}] [{}] {}", name, pattern, offset.value_or(-1)));
        if (onTrigger)
            co_await onTrigger(std::move(name));
    }
    Awaitable<void> handleTriggerQueryUpdate(std::optional<std::string> pattern, std::string query,
                                             std::optional<long long> offset,
                                             bool hasTextBefore) override {
        events_.push_back(pattern ? fmt::format("query [{}] [{}] {} {}", *pattern, query,
                                                offset.value_or(-1), hasTextBefore)
                                  : "hide");
        co_return;
    }
    Awaitable<void> handleError(std::exception_ptr error) override {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            events_.push_back(fmt::format("error {}", e.what()));
        }
        co_return;
    }

    // The events recorded since the last call.
    std::vector<std::string> take() { return std::exchange(events_, {}); }

    std::function<Awaitable<void>(std::string name)> onTrigger;

private:
    std::vector<std::string> events_;
};

// The real provider, with a hook that runs inside each text read (to fail it, or to act while the
// read is out), and the rest mark the test gives.
class MonitorHookedProvider : public AXAccessibilityProvider {
public:
    using AXAccessibilityProvider::AXAccessibilityProvider;

    Awaitable<std::string> getValue(AccessibleElement element) override {
        if (duringRead)
            co_await duringRead();
        co_return co_await AXAccessibilityProvider::getValue(std::move(element));
    }

    // The platform's rest mark, where a test gives one, and what follows from it alone.
    std::optional<AXRestMark> restMark() const override { return rest ? rest() : std::nullopt; }
    std::optional<std::uint64_t> restSerial() const override {
        return AccessibilityProvider::restSerial();
    }
    bool renewRest() override { return renew ? renew() : false; }

    std::function<Awaitable<void>()> duringRead;
    std::function<std::optional<AXRestMark>()> rest;
    std::function<bool()> renew;
};

// Activity hints the test gives by hand.
class ManualFieldActivity : public FieldActivity {
public:
    Subscription observe(std::function<void()> onActivity) override {
        observer_ = std::move(onActivity);
        return Subscription([this] { observer_ = nullptr; });
    }
    void hint() const {
        if (observer_)
            observer_();
    }

private:
    std::function<void()> observer_;
};

class MonitorHarness {
public:
    enum class Waits { eachTick, whileResting };

    explicit MonitorHarness(Waits waits = Waits::eachTick) {
        auto main = io.get_executor();
        provider = std::make_shared<MonitorHookedProvider>(
            std::make_shared<ContextStrategyRouter>(desktop.accessibility()),
            AXAccessibilityProvider::Facilities{desktop.accessibility(), desktop.workspace(),
                                                desktop.screens(), main, main});
        monitor = TextMonitor::create(
            std::make_shared<AccessibilityMonitor>(provider, main), ";;",
            {desktop.workspace(), desktop.keyboard().eventSource(main), main, clock.sleeper(),
             activity,
             waits == Waits::whileResting ? clock.restingWait() : TextMonitor::RestingWait{}},
            main);
    }
    ~MonitorHarness() {
        run(monitor->stopMonitoring());
        delegate->onTrigger = {};
    }

    // Runs whatever is ready on the io_context, until nothing is.
    void settle() {
        do
            io.restart();
        while (io.poll() > 0);
    }

    // Runs the operation to its end (everything it waits for is on the io_context).
    template <class T> T run(Awaitable<T> operation) {
        std::exception_ptr failure;
        std::optional<T> result;
        auto finished = [&](std::exception_ptr error, T value) {
            failure = error;
            result.emplace(std::move(value));
        };
        asio::co_spawn(io, std::move(operation), finished);
        settle();
        if (failure)
            std::rethrow_exception(failure);
        return std::move(result.value());
    }
    void run(Awaitable<void> operation) {
        auto withValue = [](Awaitable<void> body) -> Awaitable<bool> {
            co_await std::move(body);
            co_return true;
        };
        run(withValue(std::move(operation)));
    }

    // Starts monitoring for the commands fix and sig; the first poll has finished on return.
    void start() {
        run(monitor->setDelegate(delegate));
        run(monitor->updateValidCommandNames({"fix", "sig"}));
        run(monitor->startMonitoring());
    }
    void nextPoll(int count = 1) {
        for (int i = 0; i < count; ++i) {
            clock.release();
            settle();
        }
    }

    LogCapture log; // first, so that it outlives everything that logs
    asio::io_context io;
    SimDesktop desktop;
    MonitorPollClock clock{desktop.clock()};
    std::shared_ptr<ManualFieldActivity> activity = std::make_shared<ManualFieldActivity>();
    std::shared_ptr<MonitorHookedProvider> provider;
    std::shared_ptr<TextMonitor> monitor;
    std::shared_ptr<MonitorDelegateRecorder> delegate = std::make_shared<MonitorDelegateRecorder>();
    std::vector<std::string> delegateEvents; // what a test keeps of the events it took
};

} // namespace pennial
