#include "windows/settings/configuration_change.hpp"

#include "base/task.hpp"
#include "services/config_service.hpp"

namespace pennial {

Awaitable<bool> storeConfigurationChange(ConfigService& service,
                                         std::function<void(AppConfig&)> change) {
    std::exception_ptr failure;
    try {
        co_await service.update(std::move(change));
    } catch (...) {
        failure = std::current_exception();
    }
    if (isCancellation(failure))
        std::rethrow_exception(failure);
    co_return failure == nullptr;
}

} // namespace pennial
