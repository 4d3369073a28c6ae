#pragma once
// One request of a caller, as it runs on the accessibility thread: the messaging time-out it
// allows each bus call, and the first failure among its calls as the result code callers know.
// Some of the library's property reads swallow their errors and answer 0 or nothing; a call that
// took the whole time-out is taken to have run out of it, whatever it answered. Once a call
// failed, the request's later calls are not made, and answer nothing.
//
// Deadlines are short: every application shares the one accessibility thread, and a reply an
// application loses (GTK 3 sometimes does, on its direct connection) would otherwise hold every
// read of every application for the bus's default 25 s. A read that runs out fails its request
// only; the next poll asks again. Writes get longer: a write that runs out may still take effect,
// and the next method of writing would then write the text a second time.

#include "platform/accessibility.hpp"

#include <chrono>
#include <optional>
#include <type_traits>
#include <utility>

typedef struct _GError GError;

namespace pennial {

class AtspiCall {
public:
    using Timeout = std::chrono::duration<double>;
    static constexpr Timeout readTimeout{0.5};
    static constexpr Timeout writeTimeout{2.0};

    // Sets the library's time-out for the calls to come; zero means fallback.
    explicit AtspiCall(Timeout timeout, Timeout fallback = readTimeout);

    // Runs one library call, given the place for its error: call([&](GError** error) {...}), and
    // answers what it answered.
    template <class Call> std::invoke_result_t<Call&, GError**> operator()(Call libraryCall) {
        std::optional<AXError> outcome;
        return run(libraryCall, outcome);
    }

    // As a call whose refusal is an answer rather than a failure of the request (one application
    // of a list that has just left): only running out of time counts. refused tells.
    template <class Call>
    std::invoke_result_t<Call&, GError**> quietly(Call libraryCall, bool& refused) {
        std::optional<AXError> outcome;
        const auto before = failure_;
        auto result = run(libraryCall, outcome);
        refused = outcome.has_value();
        if (outcome != AXError::cannotComplete)
            failure_ = before;
        return result;
    }

    // As a call, with a deadline of its own instead of the request's; ranOut tells whether it
    // took the whole of it, which then does not fail the request (the caller checks the call's
    // effect instead: some applications act on a call and never answer it).
    template <class Call>
    std::invoke_result_t<Call&, GError**> within(Timeout deadline, Call libraryCall, bool& ranOut) {
        const auto before = failure_;
        std::optional<AXError> outcome;
        const auto requestTimeout = std::exchange(timeout_, deadline);
        applyTimeout();
        auto result = run(libraryCall, outcome);
        timeout_ = requestTimeout;
        applyTimeout();
        ranOut = outcome == AXError::cannotComplete;
        if (ranOut)
            failure_ = before;
        return result;
    }

    // Ends the request with this failure, unless an earlier one ended it.
    void fail(AXError error) {
        if (!failure_)
            failure_ = error;
    }

    // What each call is allowed.
    Timeout timeout() const { return timeout_; }

    // The first failure so far; none while every call went through.
    std::optional<AXError> failure() const { return failure_; }
    bool failed() const { return failure_.has_value(); }

private:
    template <class Call>
    std::invoke_result_t<Call&, GError**> run(Call& libraryCall, std::optional<AXError>& outcome) {
        // A request that failed makes no more calls: each would wait out its time-out again.
        if (failure_) {
            outcome = failure_;
            return std::invoke_result_t<Call&, GError**>{};
        }
        keepConnectionsOnThisThread();
        const auto start = std::chrono::steady_clock::now();
        GError* error = nullptr;
        auto result = libraryCall(&error);
        outcome = settle(error, std::chrono::steady_clock::now() - start);
        return result;
    }

    void applyTimeout() const;
    // The library opens its direct connection to an application on the process's default main
    // context, which Qt's thread runs: that thread could take a reply off the connection while
    // this one waits for it, and this one would then wait out its whole time-out. A connection
    // opened during a request (as an application's address comes in) is moved onto the
    // accessibility thread before the request's next call, not only once the request is done.
    static void keepConnectionsOnThisThread();
    // Frees the error; answers the call's failure, and keeps it when it is the request's first.
    std::optional<AXError> settle(GError* error, std::chrono::steady_clock::duration elapsed);

    Timeout timeout_;
    std::optional<AXError> failure_;
};

} // namespace pennial
