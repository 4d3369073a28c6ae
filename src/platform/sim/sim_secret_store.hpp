#pragma once
// Secrets held in memory for tests, with failure statuses that can be injected per operation.

#include "platform/secret_store.hpp"

#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace pennial {

class SimSecretStore : public SecretStore {
public:
    enum class Operation { read, write, remove };

    SecretReadResult read(const std::string& service, const std::string& account) override;
    SecretResult write(const std::string& service, const std::string& account,
                       const std::string& data) override;
    SecretResult remove(const std::string& service, const std::string& account) override;

    // Every later call of the operation answers status (and error, the service's words for it)
    // and changes nothing, until cleared.
    void injectFailure(Operation operation, std::int32_t status, std::string error = {});
    void clearFailure(Operation operation);

    std::optional<std::string> item(const std::string& service, const std::string& account) const;
    void putItem(const std::string& service, const std::string& account, std::string data);
    int calls(Operation operation) const;

private:
    using Key = std::pair<std::string, std::string>;
    mutable std::mutex mutex_;
    std::map<Key, std::string> items_;
    std::map<Operation, SecretResult> failures_;
    std::map<Operation, int> calls_;
};

} // namespace pennial
