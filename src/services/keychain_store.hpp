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
    // legacyService: the service name an earlier build kept the same items under. A key found
    // only there is moved to service when it is loaded, and removing a key removes it from both.
    KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service,
                  std::optional<std::string> legacyService = std::nullopt);

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
    KeychainStore(const KeychainStore& store, Quiet);
    // The legacy item's value, moved under service_ when that can be done; none when there is
    // none. Throws as load does.
    std::optional<std::string> loadLegacy(const std::string& key);
    [[noreturn]] static void failLoad(const std::string& key, const SecretReadResult& result);

    std::shared_ptr<SecretStore> secrets_;
    std::string service_;
    std::optional<std::string> legacyService_;
};

} // namespace pennial
