#include "services/keychain_store.hpp"

#include "base/log.hpp"
#include "services/auth_error.hpp"

#include <asio/thread_pool.hpp>
#include <fmt/format.h>
#include <functional>

namespace pennial {
namespace {

// What follows "failed for key=<key>" in a log line: the secret service's own name and words for
// the failure, or where it gave none, the status and what it means.
std::string describe(std::int32_t status, const std::string& serviceError) {
    if (!serviceError.empty())
        return ": " + serviceError;
    return fmt::format(", status={} ({})", status, secretStatusMessage(status).value_or("unknown"));
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

KeychainStore::KeychainStore(std::shared_ptr<SecretStore> secrets, std::string service,
                             std::optional<std::string> legacyService)
    : secrets_(std::move(secrets)), service_(std::move(service)),
      legacyService_(std::move(legacyService)) {
    logLine("🔵 [KeychainStore] Release build — using Data Protection keychain");
}

KeychainStore::KeychainStore(const KeychainStore& store, Quiet)
    : secrets_(store.secrets_), service_(store.service_), legacyService_(store.legacyService_) {}

void KeychainStore::save(const std::string& key, const std::string& data) {
    // Written over the old value, never deleted first: a failed write keeps the old item.
    auto written = secrets_->write(service_, key, data);
    if (written.status != SecretStatus::success) {
        logf("❌ [KeychainStore] save failed for key={}{}", key,
             describe(written.status, written.error));
        throw AuthError::keychainError(written.status, written.error);
    }
    logf("🔵 [KeychainStore] Saved key={}", key);
}

std::optional<std::string> KeychainStore::load(const std::string& key) {
    auto result = secrets_->read(service_, key);
    if (result.status == SecretStatus::itemNotFound) {
        if (auto moved = loadLegacy(key))
            return moved;
        logf("🔵 [KeychainStore] load key={} — not found", key);
        return std::nullopt;
    }
    if (result.status != SecretStatus::success)
        failLoad(key, result);
    logf("🔵 [KeychainStore] Loaded key={}", key);
    return std::move(result.data);
}

void KeychainStore::failLoad(const std::string& key, const SecretReadResult& result) {
    logf("❌ [KeychainStore] load failed for key={}{}", key, describe(result.status, result.error));
    throw AuthError::keychainError(result.status, result.error);
}

std::optional<std::string> KeychainStore::loadLegacy(const std::string& key) {
    if (!legacyService_)
        return std::nullopt;
    auto result = secrets_->read(*legacyService_, key);
    if (result.status == SecretStatus::itemNotFound)
        return std::nullopt;
    if (result.status != SecretStatus::success)
        failLoad(key, result);
    // The old item goes only once the new one holds the value; until then it is still read here.
    if (secrets_->write(service_, key, result.data).status == SecretStatus::success) {
        secrets_->remove(*legacyService_, key);
        logf("🔵 [KeychainStore] Moved key={} from the earlier service name", key);
    }
    logf("🔵 [KeychainStore] Loaded key={}", key);
    return std::move(result.data);
}

Awaitable<void> KeychainStore::saveAsync(std::string key, std::string data) {
    KeychainStore copy(*this, Quiet{});
    co_await onSecretThread<void>([copy = std::move(copy), key = std::move(key),
                                   data = std::move(data)]() mutable { copy.save(key, data); });
}

Awaitable<std::optional<std::string>> KeychainStore::loadAsync(std::string key) {
    KeychainStore copy(*this, Quiet{});
    co_return co_await onSecretThread<std::optional<std::string>>(
        [copy = std::move(copy), key = std::move(key)]() mutable { return copy.load(key); });
}

Awaitable<void> KeychainStore::removeAsync(std::string key) {
    KeychainStore copy(*this, Quiet{});
    co_await onSecretThread<void>(
        [copy = std::move(copy), key = std::move(key)]() mutable { copy.remove(key); });
}

void KeychainStore::remove(const std::string& key) {
    auto removed = secrets_->remove(service_, key);
    // A session left under the old name would be read back at the next start.
    if (legacyService_ &&
        (removed.status == SecretStatus::success || removed.status == SecretStatus::itemNotFound))
        if (auto legacy = secrets_->remove(*legacyService_, key);
            legacy.status != SecretStatus::itemNotFound)
            removed = legacy;
    if (removed.status != SecretStatus::success && removed.status != SecretStatus::itemNotFound)
        throw AuthError::keychainError(removed.status, removed.error);
}

} // namespace pennial
