#include "services/keychain_store.hpp"

#include "base/log.hpp"
#include "services/auth_error.hpp"

#include <asio/thread_pool.hpp>
#include <functional>

namespace pennial {
namespace {

std::string describe(std::int32_t status) {
    return secretStatusMessage(status).value_or("unknown");
}

// Never destroyed: a call may still wait on the keyring when the program ends.
asio::thread_pool& secretThread() {
    static auto* thread = new asio::thread_pool(1);
    return *thread;
}

// Runs call on the secret thread; its result or exception reaches the caller on its executor.
// The call holds copies of what it uses, never the store, which may be gone when it ends.
template <class T> Awaitable<T> onSecretThread(std::function<T()> call) {
    auto body = [](std::function<T()> call) -> Awaitable<T> { co_return call(); };
    co_return co_await asio::co_spawn(secretThread().get_executor(), body(std::move(call)),
                                      asio::use_awaitable);
}

} // namespace

KeychainStore::KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service)
    : secrets_(std::move(secrets)), service_(std::move(service)) {
    logLine("🔵 [KeychainStore] Release build — using Data Protection keychain");
}

KeychainStore::KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service, Quiet)
    : secrets_(std::move(secrets)), service_(std::move(service)) {}

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

Awaitable<void> KeychainStore::saveAsync(std::string key, std::string data) {
    KeychainStore copy(secrets_, service_, Quiet{});
    co_await onSecretThread<void>([copy = std::move(copy), key = std::move(key),
                                   data = std::move(data)]() mutable { copy.save(key, data); });
}

Awaitable<std::optional<std::string>> KeychainStore::loadAsync(std::string key) {
    KeychainStore copy(secrets_, service_, Quiet{});
    co_return co_await onSecretThread<std::optional<std::string>>(
        [copy = std::move(copy), key = std::move(key)]() mutable { return copy.load(key); });
}

Awaitable<void> KeychainStore::removeAsync(std::string key) {
    KeychainStore copy(secrets_, service_, Quiet{});
    co_await onSecretThread<void>(
        [copy = std::move(copy), key = std::move(key)]() mutable { copy.remove(key); });
}

void KeychainStore::remove(const std::string& key) {
    auto status = secrets_->remove(service_, key);
    if (status != SecretStatus::success && status != SecretStatus::itemNotFound)
        throw AuthError::keychainError(status);
}

} // namespace pennial
