#pragma once
// An HTTPClient that answers from a script and records every request it was given, for exact
// request checks and for answers a real server gives only with effort (late, never, malformed).

#include "services/http_client.hpp"

#include <atomic>
#include <chrono>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace pennial::testing {

class ScriptedHttpClient : public HTTPClient {
public:
    // Holds replies back until opened. A gate that ignores cancellation lets its reply arrive
    // after the caller was cancelled, as a real answer can when it is already on its way.
    class Gate {
    public:
        explicit Gate(bool ignoresCancellation = false)
            : ignoresCancellation_(ignoresCancellation) {}
        void open() { opened_ = true; }
        bool isOpen() const { return opened_; }
        bool ignoresCancellation() const { return ignoresCancellation_; }

    private:
        std::atomic<bool> opened_{false};
        bool ignoresCancellation_;
    };

    struct Reply {
        std::function<std::string()> outcome; // returns the body or throws
        std::chrono::milliseconds delay{0};
        std::shared_ptr<Gate> gate;
    };

    static Reply body(std::string body, std::chrono::milliseconds delay = {});
    static Reply error(HTTPError error, std::chrono::milliseconds delay = {});
    static Reply failure(std::exception_ptr error);
    static Reply gated(std::shared_ptr<Gate> gate, Reply reply);

    // Replies are used in order, one per request; a request beyond the script fails.
    void enqueue(Reply reply);
    void enqueue(std::vector<Reply> replies);

    Awaitable<std::string> execute(HTTPRequest request) override;

    std::vector<HTTPRequest> requests() const;
    // When each request arrived.
    std::vector<std::chrono::steady_clock::time_point> arrivals() const;
    std::size_t requestCount() const;

private:
    mutable std::mutex mutex_;
    std::deque<Reply> replies_;
    std::vector<HTTPRequest> requests_;
    std::vector<std::chrono::steady_clock::time_point> arrivals_;
};

} // namespace pennial::testing
