#include "services/keychain_store.hpp"

#include "base/log.hpp"
#include "services/auth_error.hpp"

namespace pennial {
namespace {

std::string describe(std::int32_t status) {
    return secretStatusMessage(status).value_or("unknown");
}

} // namespace

KeychainStore::KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service)
    : secrets_(std::move(secrets)), service_(std::move(service)) {
    logLine("🔵 [KeychainStore] Release build — using Data Protection keychain");
}

void KeychainStore::save(const std::string& key, const std::string& data) {
    // Written over the old value, never deleted first: a failed write keeps the old item.
    auto status = secrets_->write(service_, key, data);
    if (status != SecretStatus::success) {
        logf("❌ [KeychainStore] save failed for key={}, status={} ({})", key, status,
             describe(status));
        throw AuthError::keychainError(status);
    }
    logf("🔵 [KeychainStore] Saved key={}", key);
}

std::optional<std::string> KeychainStore::load(const std::string& key) {
    auto result = secrets_->read(service_, key);
    if (result.status == SecretStatus::itemNotFound) {
        logf("🔵 [KeychainStore] load key={} — not found", key);
        return std::nullopt;
    }
    if (result.status != SecretStatus::success) {
        logf("❌ [KeychainStore] load failed for key={}, status={} ({})", key, result.status,
             describe(result.status));
        throw AuthError::keychainError(result.status);
    }
    logf("🔵 [KeychainStore] Loaded key={}", key);
    return std::move(result.data);
}

void KeychainStore::remove(const std::string& key) {
    auto status = secrets_->remove(service_, key);
    if (status != SecretStatus::success && status != SecretStatus::itemNotFound)
        throw AuthError::keychainError(status);
}

} // namespace pennial
