#include "platform/sim/sim_secret_store.hpp"

namespace pennial {

SecretReadResult SimSecretStore::read(const std::string& service, const std::string& account) {
    std::lock_guard lock(mutex_);
    ++calls_[Operation::read];
    if (auto failure = failures_.find(Operation::read); failure != failures_.end())
        return {failure->second.status, {}, failure->second.error};
    auto it = items_.find({service, account});
    if (it == items_.end())
        return {SecretStatus::itemNotFound, {}, {}};
    return {SecretStatus::success, it->second, {}};
}

SecretResult SimSecretStore::write(const std::string& service, const std::string& account,
                                   const std::string& data) {
    std::lock_guard lock(mutex_);
    ++calls_[Operation::write];
    if (auto failure = failures_.find(Operation::write); failure != failures_.end())
        return failure->second;
    items_[{service, account}] = data;
    return {};
}

SecretResult SimSecretStore::remove(const std::string& service, const std::string& account) {
    std::lock_guard lock(mutex_);
    ++calls_[Operation::remove];
    if (auto failure = failures_.find(Operation::remove); failure != failures_.end())
        return failure->second;
    return {items_.erase({service, account}) ? SecretStatus::success : SecretStatus::itemNotFound,
            {}};
}

void SimSecretStore::injectFailure(Operation operation, std::int32_t status, std::string error) {
    std::lock_guard lock(mutex_);
    failures_[operation] = {status, std::move(error)};
}

void SimSecretStore::clearFailure(Operation operation) {
    std::lock_guard lock(mutex_);
    failures_.erase(operation);
}

std::optional<std::string> SimSecretStore::item(const std::string& service,
                                                const std::string& account) const {
    std::lock_guard lock(mutex_);
    auto it = items_.find({service, account});
    if (it == items_.end())
        return std::nullopt;
    return it->second;
}

void SimSecretStore::putItem(const std::string& service, const std::string& account,
                             std::string data) {
    std::lock_guard lock(mutex_);
    items_[{service, account}] = std::move(data);
}

int SimSecretStore::calls(Operation operation) const {
    std::lock_guard lock(mutex_);
    auto it = calls_.find(operation);
    return it == calls_.end() ? 0 : it->second;
}

} // namespace pennial
