#include "support/fake_update_feed.hpp"

#include <algorithm>
#include <atomic>
#include <httplib.h>
#include <mutex>
#include <optional>
#include <sodium.h>
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
            if (!generatedSize_) {
                out.set_content(archive_, "application/gzip");
                return;
            }
            out.set_content_provider(
                *generatedSize_, "application/gzip",
                [](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                    const auto part = generatedBytes(offset, std::min<std::size_t>(length, 65536));
                    return sink.write(part.data(), part.size());
                });
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
    std::optional<std::uint64_t> generatedSize_;
    std::atomic<int> archiveRequests_{0};
};

FakeUpdateFeed::FakeUpdateFeed() : server_(std::make_unique<Server>()) {
    if (sodium_init() < 0)
        throw std::runtime_error("libsodium cannot start");
    crypto_sign_keypair(publicKey_.data(), secretKey_.data());
}

FakeUpdateFeed::~FakeUpdateFeed() = default;

std::string FakeUpdateFeed::feedURL() const {
    return "http://127.0.0.1:" + std::to_string(server_->port_) + "/update-feed.json";
}

std::string FakeUpdateFeed::archiveURL() const {
    return "http://127.0.0.1:" + std::to_string(server_->port_) + "/pennial.tar.gz";
}

const UpdateSigningKey& FakeUpdateFeed::publicKey() const {
    return publicKey_;
}

void FakeUpdateFeed::publish(const UpdateFeedItem& item) {
    publishSigned(updateFeedItemText(item));
}

void FakeUpdateFeed::publishSigned(const std::string& itemText) {
    setFeed(signFeed(itemText));
}

std::string FakeUpdateFeed::signFeed(const std::string& itemText) const {
    return writeSignedUpdateFeed(itemText, secretKey_);
}

void FakeUpdateFeed::setFeed(std::string body) {
    std::lock_guard lock(server_->mutex_);
    server_->feed_ = std::move(body);
}

void FakeUpdateFeed::setArchive(std::string bytes) {
    std::lock_guard lock(server_->mutex_);
    server_->archive_ = std::move(bytes);
    server_->generatedSize_.reset();
}

void FakeUpdateFeed::setGeneratedArchive(std::uint64_t size) {
    std::lock_guard lock(server_->mutex_);
    server_->archive_.clear();
    server_->generatedSize_ = size;
}

std::string FakeUpdateFeed::generatedBytes(std::uint64_t offset, std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(((offset + i) * 2654435761u) >> 13);
    return bytes;
}

int FakeUpdateFeed::archiveRequests() const {
    return server_->archiveRequests_;
}

} // namespace pennial::testing
