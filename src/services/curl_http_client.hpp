#pragma once
// HTTPClient on libcurl: one multi handle driven by one worker thread. Each request is an asio
// operation that completes on the awaiting coroutine's executor; cancelling that coroutine removes
// the transfer at once.

#include "services/http_client.hpp"

#include <chrono>
#include <cstddef>
#include <memory>

namespace pennial {

class CurlHttpClient final : public HTTPClient {
public:
    // Session-wide limits on top of each request's own time-out (zero: none).
    struct Options {
        // Longest time without receiving any data; libcurl counts it in whole seconds.
        std::chrono::milliseconds requestTimeout{0};
        // Longest time for a whole transfer, connection and queueing included.
        std::chrono::milliseconds resourceTimeout{0};
        // Larger answers are refused as invalidResponse rather than held in memory.
        std::size_t maxResponseBytes = 16 * 1024 * 1024;
    };

    // libcurl's process-wide set-up; call it once before any thread starts. Constructing a client
    // calls it as well, for programs that have no other threads yet.
    static void globalInit();

    CurlHttpClient();
    explicit CurlHttpClient(Options options);
    ~CurlHttpClient() override; // requests still in flight complete as cancelled

    // Sends the request exactly as given (no header of our own). Throws HTTPError;
    // a cancelled request throws std::system_error(asio::error::operation_aborted).
    Awaitable<std::string> execute(HTTPRequest request) override;

private:
    class Worker;
    std::shared_ptr<Worker> worker_; // shared with cancellation handlers, which hold it weakly
};

} // namespace pennial
