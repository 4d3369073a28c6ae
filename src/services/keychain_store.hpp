#pragma once
// Small secrets of this application, one desktop secret item per key, all under one service
// name. The auth service keeps the signed-in session here.

#include "base/runtime.hpp"
#include "platform/secret_store.hpp"

#include <memory>
#include <optional>
#include <string>

namespace pennial {

class KeychainStore {
public:
    KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service);

    const std::string& service() const { return service_; }

    // Replaces any earlier value in place. Throws AuthError::keychainError with the status.
    void save(const std::string& key, const std::string& data);
    // None when no item exists. Throws AuthError::keychainError with the status.
    std::optional<std::string> load(const std::string& key);
    // Removing a missing item is not an error. Throws AuthError::keychainError with the status.
    void remove(const std::string& key);

    // The same operations on a thread of their own, one at a time in the order asked: a locked or
    // silent keyring keeps a call waiting for seconds, which must hold up neither the pool that
    // runs the text monitor nor the caller's executor. The caller resumes on its own executor.
    Awaitable<void> saveAsync(std::string key, std::string data);
    Awaitable<std::optional<std::string>> loadAsync(std::string key);
    Awaitable<void> removeAsync(std::string key);

private:
    struct Quiet {};
    // A copy for one call on the secret thread, without the construction's log line.
    KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service, Quiet);

    std::shared_ptr<SecretStore> secrets_;
    std::string service_;
};

} // namespace pennial
