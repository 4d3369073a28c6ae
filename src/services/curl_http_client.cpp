#include "services/curl_http_client.hpp"

#include "base/posted_completion.hpp"

#include <algorithm>
#include <asio/associated_cancellation_slot.hpp>
#include <asio/async_result.hpp>
#include <cctype>
#include <curl/curl.h>
#include <fmt/format.h>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pennial {
namespace {

// How the worker hands a finished transfer back, to the awaiting coroutine's executor.
using Completion = PostedCompletion<std::exception_ptr, std::string>;

std::exception_ptr cancelled() {
    return std::make_exception_ptr(std::system_error(asio::error::operation_aborted));
}

// The scheme and the host of an address, lower-case; none when it cannot be parsed.
std::optional<std::pair<std::string, std::string>> origin(const std::string& url) {
    CURLU* parsed = curl_url();
    std::optional<std::pair<std::string, std::string>> result;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
        char* scheme = nullptr;
        char* host = nullptr;
        if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
            curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK) {
            auto lower = [](std::string text) {
                std::transform(text.begin(), text.end(), text.begin(),
                               [](unsigned char c) { return char(std::tolower(c)); });
                return text;
            };
            result.emplace(lower(scheme), lower(host));
        }
        curl_free(scheme);
        curl_free(host);
    }
    curl_url_cleanup(parsed);
    return result;
}

bool hasHttpScheme(const std::string& url) {
    CURLU* parsed = curl_url();
    bool http = true; // what cannot be parsed is left to the transfer, which reports it
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
        char* scheme = nullptr;
        if (curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK) {
            std::string_view name(scheme);
            http = name == "http" || name == "https";
            curl_free(scheme);
        }
    }
    curl_url_cleanup(parsed);
    return http;
}

} // namespace

void CurlHttpClient::globalInit() {
    static const bool done = [] { return curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; }();
    (void)done;
}

// One transfer: the easy handle and everything it points into, alive until it completes.
struct Transfer {
    std::uint64_t id = 0;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    std::string requestBody;
    std::string response;
    std::size_t maxResponseBytes = 0;
    bool tooLarge = false;
    std::string url; // where the request goes now
    int redirects = 0;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::unique_ptr<Completion> completion;

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    void finish(std::exception_ptr error) {
        completion->complete(error, error ? std::string() : std::move(response));
    }
};

class CurlHttpClient::Worker {
public:
    explicit Worker(Options options) : options_(options), multi_(curl_multi_init()) {
        thread_ = std::thread([this] { run(); });
    }

    ~Worker() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        curl_multi_wakeup(multi_);
        thread_.join();
        for (auto& [id, transfer] : active_) {
            curl_multi_remove_handle(multi_, transfer->easy);
            transfer->finish(cancelled());
        }
        for (auto& transfer : incoming_)
            transfer->finish(cancelled());
        active_.clear();
        incoming_.clear();
        curl_multi_cleanup(multi_);
    }

    // An id for a transfer about to start, so a cancellation can be attached before it does.
    std::uint64_t reserve() {
        std::lock_guard lock(mutex_);
        reserved_.insert(++lastId_);
        return lastId_;
    }

    // Builds the transfer on the calling thread and hands it to the worker. Any thread.
    void start(std::uint64_t id, HTTPRequest request, std::unique_ptr<Completion> completion) {
        auto transfer = std::make_unique<Transfer>();
        transfer->id = id;
        transfer->completion = std::move(completion);
        transfer->maxResponseBytes = options_.maxResponseBytes;
        // Only HTTP answers count; nothing else is fetched at all.
        bool http = hasHttpScheme(request.url);
        if (http)
            configure(*transfer, std::move(request));
        std::lock_guard lock(mutex_);
        reserved_.erase(id);
        if (cancelledEarly_.erase(id) || stopping_) {
            transfer->finish(cancelled());
        } else if (!http) {
            transfer->finish(std::make_exception_ptr(HTTPError::invalidResponse()));
        } else {
            incoming_.push_back(std::move(transfer));
            curl_multi_wakeup(multi_);
        }
    }

    // Any thread; a transfer that already finished is left alone.
    void cancel(std::uint64_t id) {
        {
            std::lock_guard lock(mutex_);
            if (reserved_.count(id))
                cancelledEarly_.insert(id);
            else
                cancels_.push_back(id);
        }
        curl_multi_wakeup(multi_);
    }

private:
    void configure(Transfer& transfer, HTTPRequest request) {
        CURL* easy = transfer.easy = curl_easy_init();
        curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
        transfer.url = request.url;
        curl_easy_setopt(easy, CURLOPT_URL, transfer.url.c_str());
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer.errorBuffer);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onData);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);

        if (request.method == "GET" && !request.body) {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        } else if (request.method == "HEAD") {
            curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
        } else {
            transfer.requestBody = request.body.value_or(std::string());
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, transfer.requestBody.data());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                             curl_off_t(transfer.requestBody.size()));
            if (request.method != "POST")
                curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        }

        // The request goes out as given: suppress the headers libcurl would add on its own.
        for (const auto& [name, value] : request.headers) {
            auto line = value.empty() ? name + ";" : name + ": " + value;
            transfer.headers = curl_slist_append(transfer.headers, line.c_str());
        }
        for (const char* name : {"Accept", "Expect", "Content-Type"})
            if (!request.header(name))
                transfer.headers =
                    curl_slist_append(transfer.headers, (std::string(name) + ":").c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer.headers);

        auto total = request.timeout;
        if (options_.resourceTimeout.count() > 0)
            total = total.count() > 0 ? std::min(total, options_.resourceTimeout)
                                      : options_.resourceTimeout;
        if (total.count() > 0)
            curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, long(total.count()));
        if (options_.requestTimeout.count() > 0) {
            auto seconds = (options_.requestTimeout.count() + 999) / 1000;
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(seconds));
        }
    }

    static std::size_t onData(char* data, std::size_t size, std::size_t count, void* user) {
        auto& transfer = *static_cast<Transfer*>(user);
        auto bytes = size * count;
        if (transfer.response.size() + bytes > transfer.maxResponseBytes) {
            transfer.tooLarge = true;
            return 0; // ends the transfer with a write error
        }
        transfer.response.append(data, bytes);
        return bytes;
    }

    void run() {
        for (;;) {
            std::vector<std::unique_ptr<Transfer>> added;
            std::vector<std::uint64_t> cancels;
            {
                std::lock_guard lock(mutex_);
                if (stopping_)
                    return;
                added.swap(incoming_);
                cancels.swap(cancels_);
            }
            for (auto& transfer : added) {
                curl_multi_add_handle(multi_, transfer->easy);
                active_.emplace(transfer->id, std::move(transfer));
            }
            for (auto id : cancels) {
                auto found = active_.find(id);
                if (found == active_.end())
                    continue;
                curl_multi_remove_handle(multi_, found->second->easy);
                found->second->finish(cancelled());
                active_.erase(found);
            }

            int running = 0;
            curl_multi_perform(multi_, &running);
            int left = 0;
            while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                Transfer* transfer = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
                auto result = message->data.result;
                curl_multi_remove_handle(multi_, transfer->easy);
                if (result == CURLE_OK && followRedirect(*transfer)) {
                    curl_multi_add_handle(multi_, transfer->easy);
                    continue;
                }
                transfer->finish(outcome(*transfer, result));
                active_.erase(transfer->id);
            }
            // Every new transfer, cancellation and stop wakes the wait: with nothing in flight
            // the thread sleeps until then rather than waking every second.
            constexpr int busyWaitMs = 1000, idleWaitMs = 3600 * 1000;
            curl_multi_poll(multi_, nullptr, 0, active_.empty() ? idleWaitMs : busyWaitMs, nullptr);
        }
    }

    // A 307 or 308 keeps the method and the body: sent again to the new address, a few times
    // at most and only where the scheme and the host stay, since the request carries its
    // credentials. Every other redirect is an answer the caller cannot use.
    static bool followRedirect(Transfer& transfer) {
        long status = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
        if ((status != 307 && status != 308) || transfer.redirects >= maxRedirects)
            return false;
        char* location = nullptr;
        curl_easy_getinfo(transfer.easy, CURLINFO_REDIRECT_URL, &location);
        if (!location)
            return false;
        auto from = origin(transfer.url);
        auto to = origin(location);
        if (!from || !to || *from != *to)
            return false;
        ++transfer.redirects;
        transfer.url = location;
        transfer.response.clear();
        curl_easy_setopt(transfer.easy, CURLOPT_URL, transfer.url.c_str());
        return true;
    }

    static std::exception_ptr outcome(const Transfer& transfer, CURLcode result) {
        if (transfer.tooLarge)
            return std::make_exception_ptr(HTTPError::invalidResponse());
        switch (result) {
        case CURLE_OK:
            break;
        case CURLE_OPERATION_TIMEDOUT:
            return std::make_exception_ptr(HTTPError::timeout());
        case CURLE_WEIRD_SERVER_REPLY:
            return std::make_exception_ptr(HTTPError::invalidResponse());
        default: {
            std::string detail =
                transfer.errorBuffer[0]
                    ? fmt::format("{} ({})", curl_easy_strerror(result), transfer.errorBuffer)
                    : curl_easy_strerror(result);
            return std::make_exception_ptr(HTTPError::networkError(std::move(detail)));
        }
        }
        long status = 0;
        curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &status);
        if (status == 0)
            return std::make_exception_ptr(HTTPError::invalidResponse());
        // A redirect not followed stored nothing and fetched nothing: no success.
        if (status >= 300)
            return std::make_exception_ptr(HTTPError::httpError(int(status), transfer.response));
        return nullptr;
    }

    static constexpr int maxRedirects = 3;

    const Options options_;
    CURLM* const multi_;
    std::thread thread_;

    std::mutex mutex_; // guards the fields below, shared with the callers' threads
    std::vector<std::unique_ptr<Transfer>> incoming_;
    std::vector<std::uint64_t> cancels_;
    std::unordered_set<std::uint64_t> reserved_;       // reserved, not yet started
    std::unordered_set<std::uint64_t> cancelledEarly_; // cancelled while reserved
    bool stopping_ = false;
    std::uint64_t lastId_ = 0;

    std::unordered_map<std::uint64_t, std::unique_ptr<Transfer>> active_; // worker thread only
};

CurlHttpClient::CurlHttpClient() : CurlHttpClient(Options{}) {}

CurlHttpClient::CurlHttpClient(Options options) {
    globalInit();
    worker_ = std::make_shared<Worker>(options);
}

CurlHttpClient::~CurlHttpClient() = default;

Awaitable<std::string> CurlHttpClient::execute(HTTPRequest request) {
    std::weak_ptr<Worker> worker = worker_;
    auto initiation = [&request, worker](auto handler) {
        auto alive = worker.lock();
        auto id = alive->reserve();
        auto slot = asio::get_associated_cancellation_slot(handler);
        if (slot.is_connected())
            slot.assign([worker, id](asio::cancellation_type type) {
                if (type == asio::cancellation_type::none)
                    return;
                if (auto target = worker.lock())
                    target->cancel(id);
            });
        alive->start(id, std::move(request),
                     postedCompletion<std::exception_ptr, std::string>(std::move(handler)));
    };
    co_return co_await asio::async_initiate<decltype(asio::use_awaitable),
                                            void(std::exception_ptr, std::string)>(
        initiation, asio::use_awaitable);
}

} // namespace pennial
