#include "support/fake_update_feed.hpp"

#include <atomic>
#include <httplib.h>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace pennial::testing {

class FakeUpdateFeed::Server {
public:
    Server() {
        http_.Get("/update-feed.json", [this](const httplib::Request&, httplib::Response& out) {
            std::lock_guard lock(mutex_);
            out.set_content(feed_, "application/json");
        });
        // httplib answers a Range request with the part asked for (206), or 416 past the end.
        http_.Get("/pennial.tar.gz", [this](const httplib::Request&, httplib::Response& out) {
            ++archiveRequests_;
            std::lock_guard lock(mutex_);
            out.set_content(archive_, "application/gzip");
        });
        // One request per connection: stopping never waits on a client's idle connection.
        http_.set_keep_alive_max_count(1);
        port_ = http_.bind_to_any_port("127.0.0.1");
        if (port_ <= 0)
            throw std::runtime_error("the update feed cannot listen");
        thread_ = std::thread([this] { http_.listen_after_bind(); });
        while (!http_.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~Server() {
        http_.stop();
        thread_.join();
    }

    httplib::Server http_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    std::string feed_ = "{}";
    std::string archive_;
    std::atomic<int> archiveRequests_{0};
};

FakeUpdateFeed::FakeUpdateFeed() : server_(std::make_unique<Server>()) {}
FakeUpdateFeed::~FakeUpdateFeed() = default;

std::string FakeUpdateFeed::feedURL() const {
    return "http://127.0.0.1:" + std::to_string(server_->port_) + "/update-feed.json";
}

std::string FakeUpdateFeed::archiveURL() const {
    return "http://127.0.0.1:" + std::to_string(server_->port_) + "/pennial.tar.gz";
}

void FakeUpdateFeed::setFeed(std::string body) {
    std::lock_guard lock(server_->mutex_);
    server_->feed_ = std::move(body);
}

void FakeUpdateFeed::setArchive(std::string bytes) {
    std::lock_guard lock(server_->mutex_);
    server_->archive_ = std::move(bytes);
}

int FakeUpdateFeed::archiveRequests() const {
    return server_->archiveRequests_;
}

} // namespace pennial::testing
