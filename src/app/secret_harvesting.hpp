#pragma once
// What the program knows to be secret passes through two seams: the HTTP clients (the e-mail
// address and the code sent to sign in, the tokens that come back, the field's text sent to be
// transformed and the result) and the secret store (the session record). These wrappers tell the
// crash reports' scrubber each secret as it goes by.

#include "app/coordinator_dependencies.hpp"
#include "base/secret_scrubber.hpp"
#include "platform/secret_store.hpp"
#include "services/http_client.hpp"

#include <memory>

namespace pennial {

class SecretHarvestingHttpClient final : public HTTPClient {
public:
    SecretHarvestingHttpClient(std::shared_ptr<HTTPClient> client,
                               std::shared_ptr<SecretScrubber> scrubber);
    Awaitable<std::string> execute(HTTPRequest request) override;

private:
    std::shared_ptr<HTTPClient> client_;
    std::shared_ptr<SecretScrubber> scrubber_;
};

class SecretHarvestingStore final : public SecretStore {
public:
    SecretHarvestingStore(std::shared_ptr<SecretStore> store,
                          std::shared_ptr<SecretScrubber> scrubber);
    SecretReadResult read(const std::string& service, const std::string& account) override;
    SecretResult write(const std::string& service, const std::string& account,
                       const std::string& data) override;
    SecretResult remove(const std::string& service, const std::string& account) override;

private:
    std::shared_ptr<SecretStore> store_;
    std::shared_ptr<SecretScrubber> scrubber_;
};

// Wraps the dependencies' secret store and both HTTP clients (made here, with the coordinator's
// limits, when none is given).
void harvestSecrets(CoordinatorDependencies& dependencies,
                    std::shared_ptr<SecretScrubber> scrubber);

} // namespace pennial
