#include "app/coordinator_delegate.hpp"

#include "app/app_coordinator.hpp"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/co_spawn.hpp>
#include <asio/use_awaitable.hpp>

namespace pennial {
namespace {

// Runs the handler on main and waits for it. The monitor stopping meanwhile does not cut the
// handling short: the handler runs to its end.
Awaitable<void> onMain(Executor main, Awaitable<void> handler) {
    co_await asio::co_spawn(
        main, std::move(handler),
        asio::bind_cancellation_slot(asio::cancellation_slot(), asio::use_awaitable));
}

} // namespace

CoordinatorDelegate::CoordinatorDelegate(std::weak_ptr<AppCoordinator> coordinator, Executor main)
    : coordinator_(std::move(coordinator)), main_(std::move(main)) {}

Awaitable<void> CoordinatorDelegate::handleTrigger(std::string commandName, std::string fullPattern,
                                                   std::optional<long long> triggerOffset) {
    auto coordinator = coordinator_.lock();
    if (!coordinator)
        co_return;
    // A key typed right after the trigger must not be taken by the palette on the way to main.
    coordinator->givePaletteKeysBack();
    co_await onMain(main_, coordinator->handleTrigger(std::move(commandName),
                                                      std::move(fullPattern), triggerOffset));
}

Awaitable<void> CoordinatorDelegate::handleTriggerQueryUpdate(
    std::optional<std::string> fullPattern, std::string query,
    std::optional<long long> triggerOffset, bool hasTextBeforeTrigger) {
    auto coordinator = coordinator_.lock();
    if (!coordinator)
        co_return;
    co_await onMain(main_,
                    coordinator->handleTriggerQueryUpdate(std::move(fullPattern), std::move(query),
                                                          triggerOffset, hasTextBeforeTrigger));
}

Awaitable<void> CoordinatorDelegate::handleError(std::exception_ptr error) {
    auto coordinator = coordinator_.lock();
    if (!coordinator)
        co_return;
    co_await onMain(main_, coordinator->handleError(std::move(error)));
}

} // namespace pennial
