#pragma once
// A local update server on 127.0.0.1: the feed's JSON at /update-feed.json and the archive at
// /pennial.tar.gz, served in the byte ranges asked for. It signs the feeds it publishes with a key
// of its own; tests set what each answers.

#include "app/update_feed.hpp"

#include <cstdint>
#include <memory>
#include <string>

namespace pennial::testing {

class FakeUpdateFeed {
public:
    FakeUpdateFeed(); // listening when constructed
    ~FakeUpdateFeed();
    FakeUpdateFeed(const FakeUpdateFeed&) = delete;
    FakeUpdateFeed& operator=(const FakeUpdateFeed&) = delete;

    std::string feedURL() const;
    std::string archiveURL() const;
    const UpdateSigningKey& publicKey() const;

    // The feed announcing the item, signed with this server's key.
    void publish(const UpdateFeedItem& item);
    // The same for an item's text as given, whatever its shape.
    void publishSigned(const std::string& itemText);
    std::string signFeed(const std::string& itemText) const;
    // The feed as given.
    void setFeed(std::string body);
    void setArchive(std::string bytes);
    // An archive of that many bytes made as they are sent, so that a large one takes no memory
    // here; generatedBytes gives the same bytes.
    void setGeneratedArchive(std::uint64_t size);
    static std::string generatedBytes(std::uint64_t offset, std::size_t length);
    int archiveRequests() const;

private:
    class Server;
    std::unique_ptr<Server> server_;
    UpdateSigningKey publicKey_{};
    UpdateSecretKey secretKey_{};
};

} // namespace pennial::testing
