// Quitting: monitoring stops, every task ends, and only then may the owner destroy the
// coordinator, its services and the executors they run on.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"

namespace pennial {

Awaitable<void> AppCoordinator::shutdown(std::chrono::steady_clock::duration limit) {
    try {
        co_await stopMonitoring();
    } catch (const std::exception& error) {
        logf("⚠️ [Pennial] Monitoring did not stop cleanly at quit: {}", error.what());
    }
    std::vector<Task> running = tasks_;
    running.insert(running.end(), {permissionCheckTask_, spinnerDesignTask_, startupTask_});
    for (const auto& task : running)
        task.cancel();
    auto deadline = std::chrono::steady_clock::now() + limit;
    auto anyRunning = [&] {
        return std::any_of(running.begin(), running.end(),
                           [](const Task& task) { return task.isRunning(); });
    };
    while (anyRunning() && std::chrono::steady_clock::now() < deadline)
        co_await sleepFor(std::chrono::milliseconds(5));
    if (anyRunning())
        logLine("⚠️ [Pennial] A task was still running at quit");
}

} // namespace pennial
