#pragma once
// A local update server on 127.0.0.1: the feed's JSON at /update-feed.json and the archive at
// /pennial.tar.gz, served in the byte ranges asked for. Tests set what each answers.

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

    void setFeed(std::string body);
    void setArchive(std::string bytes);
    int archiveRequests() const;

private:
    class Server;
    std::unique_ptr<Server> server_;
};

} // namespace pennial::testing
