// Remote sync and sign-out: the profile and commands pulled and merged into the local
// configuration, the local command list pushed, and the way back to a signed-out default state.

#include "app/app_coordinator.hpp"
#include "app/remote_merge.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/supabase_store.hpp"

#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/this_coro.hpp>
#include <set>

namespace pennial {
namespace {

const char* outcome(bool succeeded) {
    return succeeded ? "true" : "false";
}

std::string describeProfile(const ProfilePull& pull) {
    return pull.kind() == ProfilePull::Kind::success ? "found" : "no data";
}

std::string describeCommands(const CommandsPull& pull) {
    if (pull.kind() == CommandsPull::Kind::success)
        return std::to_string(pull.value().size()) + " commands";
    return "no data";
}

// Awaits the operation; a failure is logged after the given words and answered with none. The
// caller's own cancellation is not a failure: it always ends the operation.
template <class T>
Awaitable<std::optional<T>> loggingFailure(Awaitable<T> operation, std::string failureLine) {
    try {
        co_return co_await std::move(operation);
    } catch (...) {
        auto failure = std::current_exception();
        if (isCancellation(failure))
            throw;
        logf("{}{}", failureLine, describeError(failure));
    }
    co_return std::nullopt;
}

Awaitable<bool> loggingFailure(Awaitable<void> operation, std::string failureLine) {
    try {
        co_await std::move(operation);
        co_return true;
    } catch (...) {
        auto failure = std::current_exception();
        if (isCancellation(failure))
            throw;
        logf("{}{}", failureLine, describeError(failure));
    }
    co_return false;
}

constexpr const char* applyFailedLine = "⚠️ [Pennial] Failed to apply remote data locally: ";
constexpr const char* pushFailedLine = "⚠️ [Pennial] Failed to push commands to remote: ";

} // namespace

Awaitable<bool> AppCoordinator::pullRemoteData() {
    logLine("🔄 [Pennial] Pulling remote data…");
    // Local edits whose push failed go up first, so the pull cannot overwrite them.
    bool keepLocalCommands = false;
    if (userDefaults_->boolForKey(hasUnpushedLocalCommandsKey))
        keepLocalCommands = !co_await pushUnpushedLocalCommands();

    auto executor = co_await asio::this_coro::executor;
    auto profileOp =
        asio::co_spawn(executor, supabaseStore_->pullProfile(), asio::experimental::deferred);
    auto commandsOp =
        asio::co_spawn(executor, supabaseStore_->pullCommands(), asio::experimental::deferred);
    auto [order, profileError, profile, commandsError, commands] =
        co_await asio::experimental::make_parallel_group(std::move(profileOp),
                                                         std::move(commandsOp))
            .async_wait(asio::experimental::wait_for_all(), asio::use_awaitable);
    (void)order;
    // The pulls never throw but for cancellation.
    if (profileError)
        std::rethrow_exception(profileError);
    if (commandsError)
        std::rethrow_exception(commandsError);

    bool profileOk = profile.kind() != ProfilePull::Kind::failure;
    bool commandsOk = commands.kind() != CommandsPull::Kind::failure;
    bool ok = profileOk && commandsOk;
    if (ok)
        logf("✅ [Pennial] Remote data pull succeeded (profile: {}, commands: {})",
             describeProfile(profile), describeCommands(commands));
    else
        logf("❌ [Pennial] Remote data pull failed — profile: {}, commands: {}", outcome(profileOk),
             outcome(commandsOk));

    auto local = co_await loggingFailure(configService_->loadConfiguration(), applyFailedLine);
    if (!local)
        co_return false;
    if (!mergeRemoteData(*local, profile, commands, keepLocalCommands).changed())
        co_return ok;

    // Merged again inside the serialised update, against the configuration as it is then, so a
    // settings edit or a profile save made meanwhile is not undone.
    bool commandsChanged = false;
    std::function<void(AppConfig&)> apply = [&](AppConfig& config) {
        auto merge = mergeRemoteData(config, profile, commands, keepLocalCommands);
        commandsChanged = merge.commandsChanged;
        config = std::move(merge.config);
    };
    auto saved = co_await loggingFailure(configService_->update(apply), applyFailedLine);
    if (!saved)
        co_return false;
    // Told only once the new list is saved: the monitor never accepts a name the configuration
    // does not hold.
    if (commandsChanged) {
        std::set<std::string> names;
        for (const auto& command : saved->commands)
            names.insert(command.name);
        co_await textMonitor_->updateValidCommandNames(std::move(names));
    }
    logLine("✅ [Pennial] Local config updated from remote");
    co_return ok;
}

Awaitable<bool> AppCoordinator::pushUnpushedLocalCommands() {
    auto local = co_await loggingFailure(configService_->loadConfiguration(), pushFailedLine);
    if (!local)
        co_return false;
    co_return co_await pushLocalCommands(local->commands);
}

Awaitable<bool> AppCoordinator::pushLocalCommands(std::vector<Command> commands) {
    // Marked before the push, so a push cut short by the end of the process still counts as
    // not done.
    userDefaults_->setBool(hasUnpushedLocalCommandsKey, true);
    if (!co_await loggingFailure(supabaseStore_->pushCommands(std::move(commands)), pushFailedLine))
        co_return false;
    userDefaults_->setBool(hasUnpushedLocalCommandsKey, false);
    co_return true;
}

Awaitable<void> AppCoordinator::signOut() {
    co_await authService_->signOut();
    publish([](CoordinatorState& state) { state.isAuthenticated = false; });
    userEmail_.reset();
    // The local list is about to be the defaults: nothing of the old account is left to push.
    if (userDefaults_->boolForKey(hasUnpushedLocalCommandsKey))
        userDefaults_->setBool(hasUnpushedLocalCommandsKey, false);

    AppConfig defaults;
    defaults.triggerPattern = ";;";
    defaults.commands = AppConfig::defaultCommands();
    defaults.apiBaseURL = endpoints_.productApiBaseURL;
    defaults.apiTimeout = 10.0;
    std::function<void(AppConfig&)> reset = [&](AppConfig& config) { config = defaults; };
    co_await loggingFailure(configService_->update(reset),
                            "⚠️ [Pennial] Failed to reset config on sign out: ");

    co_await stopMonitoring();
    refreshOnboardingPresentation();
}

} // namespace pennial
