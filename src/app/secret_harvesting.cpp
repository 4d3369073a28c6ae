#include "app/secret_harvesting.hpp"

#include "services/curl_http_client.hpp"

namespace pennial {
namespace {

// The coordinator gives its sign-in client these limits when it makes the client itself.
constexpr std::chrono::seconds signInClientLimit{10};

void rememberStored(SecretScrubber& scrubber, const std::string& data) {
    scrubber.remember(data);
    scrubber.rememberSecretsIn(data);
}

} // namespace

SecretHarvestingHttpClient::SecretHarvestingHttpClient(std::shared_ptr<HTTPClient> client,
                                                       std::shared_ptr<SecretScrubber> scrubber)
    : client_(std::move(client)), scrubber_(std::move(scrubber)) {}

Awaitable<std::string> SecretHarvestingHttpClient::execute(HTTPRequest request) {
    if (auto authorization = request.header("Authorization");
        authorization && authorization->starts_with("Bearer "))
        scrubber_->remember(authorization->substr(7));
    if (request.body)
        scrubber_->rememberSecretsIn(*request.body);
    try {
        auto body = co_await client_->execute(std::move(request));
        scrubber_->rememberSecretsIn(body);
        co_return body;
    } catch (const HTTPError& error) {
        // An error's body may echo what was sent.
        if (error.data())
            scrubber_->rememberSecretsIn(*error.data());
        throw;
    }
}

SecretHarvestingStore::SecretHarvestingStore(std::shared_ptr<SecretStore> store,
                                             std::shared_ptr<SecretScrubber> scrubber)
    : store_(std::move(store)), scrubber_(std::move(scrubber)) {}

SecretReadResult SecretHarvestingStore::read(const std::string& service,
                                             const std::string& account) {
    auto result = store_->read(service, account);
    if (result.status == SecretStatus::success)
        rememberStored(*scrubber_, result.data);
    return result;
}

SecretResult SecretHarvestingStore::write(const std::string& service, const std::string& account,
                                          const std::string& data) {
    rememberStored(*scrubber_, data);
    return store_->write(service, account, data);
}

SecretResult SecretHarvestingStore::remove(const std::string& service, const std::string& account) {
    return store_->remove(service, account);
}

void harvestSecrets(CoordinatorDependencies& dependencies,
                    std::shared_ptr<SecretScrubber> scrubber) {
    if (!dependencies.httpClient)
        dependencies.httpClient = std::make_shared<CurlHttpClient>();
    if (!dependencies.authHttpClient) {
        CurlHttpClient::Options limits;
        limits.requestTimeout = signInClientLimit;
        limits.resourceTimeout = signInClientLimit;
        dependencies.authHttpClient = std::make_shared<CurlHttpClient>(limits);
    }
    dependencies.httpClient =
        std::make_shared<SecretHarvestingHttpClient>(dependencies.httpClient, scrubber);
    dependencies.authHttpClient =
        std::make_shared<SecretHarvestingHttpClient>(dependencies.authHttpClient, scrubber);
    if (dependencies.secretStore)
        dependencies.secretStore =
            std::make_shared<SecretHarvestingStore>(std::move(dependencies.secretStore), scrubber);
}

} // namespace pennial
