#pragma once
// Small secrets of this application, one desktop secret item per key, all under one service
// name. The auth service keeps the signed-in session here.

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

private:
    std::shared_ptr<SecretStore> secrets_;
    std::string service_;
};

} // namespace pennial
