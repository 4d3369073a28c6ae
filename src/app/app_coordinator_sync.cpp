// Remote sync and sign-out: the profile and commands pulled and merged into the local
// configuration, the local command list pushed, and the way back to a signed-out default state.

#include "app/app_coordinator.hpp"
#include "app/remote_merge.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/supabase_store.hpp"

#include <asio/bind_cancellation_slot.hpp>
#include <asio/experimental/deferred.hpp>
#include <asio/experimental/parallel_group.hpp>
#include <asio/redirect_error.hpp>
#include <asio/steady_timer.hpp>
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

// Runs work to its end even when the caller is cancelled meanwhile: a configuration write and the
// bookkeeping that follows it must not be separated. The caller's cancellation then shows at its
// next suspension.
template <class T> Awaitable<T> shielded(Awaitable<T> work) {
    auto executor = co_await asio::this_coro::executor;
    struct Outcome {
        std::optional<T> value;
        std::exception_ptr error;
        bool done = false;
    };
    auto outcome = std::make_shared<Outcome>();
    auto timer =
        std::make_shared<asio::steady_timer>(executor, asio::steady_timer::time_point::max());
    asio::co_spawn(executor, std::move(work), [outcome, timer](std::exception_ptr error, T value) {
        outcome->error = error;
        if (!error)
            outcome->value = std::move(value);
        outcome->done = true;
        timer->cancel();
    });
    co_await asio::this_coro::throw_if_cancelled(false);
    while (!outcome->done) {
        std::error_code woken;
        co_await timer->async_wait(asio::bind_cancellation_slot(
            asio::cancellation_slot(), asio::redirect_error(asio::use_awaitable, woken)));
    }
    co_await asio::this_coro::throw_if_cancelled(true);
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return std::move(*outcome->value);
}

constexpr const char* applyFailedLine = "⚠️ [Pennial] Failed to apply remote data locally: ";
constexpr const char* pushFailedLine = "⚠️ [Pennial] Failed to push commands to remote: ";
constexpr const char* pushProfileFailedLine = "⚠️ [Pennial] Failed to push profile to remote: ";

} // namespace

// A sync, once begun, runs to its end whatever happens to the caller (a settings tab closed
// while it loads): its work is spread over the services' executors, and cutting it short could
// leave the file written without the bookkeeping that says so. The work holds the coordinator.
Awaitable<bool> AppCoordinator::pullRemoteData() {
    logLine("🔄 [Pennial] Pulling remote data…");
    co_return co_await shielded([](std::shared_ptr<AppCoordinator> self) -> Awaitable<bool> {
        auto guard = co_await self->syncAccess_.lock();
        co_return co_await self->pullLocked();
    }(shared_from_this()));
}

Awaitable<std::optional<std::string>> AppCoordinator::signedInAccount() {
    auto session = co_await authService_->currentSession();
    if (!session)
        co_return std::nullopt;
    co_return session->userId;
}

Awaitable<void> AppCoordinator::adoptLocalData(const std::string& account) {
    auto owner = syncLedger_->localDataAccount();
    if (owner == account)
        co_return;
    if (!owner && syncLedger_->lost()) {
        // Left lost when the file cannot be read: the pull then fails at the same load.
        std::optional<AppConfig> local;
        try {
            local = co_await configService_->loadConfiguration();
        } catch (...) {
            if (isCancellation(std::current_exception()))
                throw;
        }
        if (local)
            syncLedger_->adoptLost(account, *local);
        co_return;
    }
    if (!owner) {
        syncLedger_->adoptUnrecorded(account);
        co_return;
    }
    syncLedger_->startOver(account);
    const unsigned resets = syncLedger_->resets();
    std::optional<AppConfig> local;
    if (owner->empty()) {
        // The defaults, or edits made signed out: the merge decides what stays.
        local = co_await loggingFailure(configService_->loadConfiguration(), applyFailedLine);
    } else {
        // Another account's commands and profile: kept aside, never merged into this account.
        const auto defaults = signedOutConfiguration();
        std::function<void(AppConfig&)> reset = [&](AppConfig& config) { config = defaults; };
        std::function<bool(const AppConfig&, const AppConfig&)> keepCopy =
            [](const AppConfig& before, const AppConfig& after) { return before != after; };
        local = co_await loggingFailure(shielded(configService_->update(reset, keepCopy)),
                                        applyFailedLine);
        if (local) {
            logLine("🔄 [Pennial] Local commands and profile of the previous account kept aside");
            std::set<std::string> names;
            for (const auto& command : local->commands)
                names.insert(command.name);
            co_await textMonitor_->updateValidCommandNames(std::move(names));
        }
    }
    // What this account's sync starts from: the cloud copy replaces it while it stays as it is,
    // and an edit made to it from now on is this account's own, even before a pull gets through.
    if (local && syncLedger_->resets() == resets) {
        syncLedger_->agreeOnCommands(commandsDigest(local->commands), syncLedger_->commandsEdits());
        syncLedger_->agreeOnProfile(
            profileDigest(local->userDisplayNames, local->userWritingContext),
            syncLedger_->profileEdits());
    }
}

Awaitable<bool> AppCoordinator::pullLocked() {
    auto account = co_await signedInAccount();
    if (account)
        co_await adoptLocalData(*account);
    const unsigned resets = syncLedger_->resets();
    const unsigned commandEdits = syncLedger_->commandsEdits();
    const unsigned profileEdits = syncLedger_->profileEdits();
    const SyncBasis basisAtStart = syncLedger_->basis(account.value_or(""));

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
    // What was signed in when the pull began no longer holds the local data.
    if (!account || syncLedger_->resets() != resets)
        co_return ok;

    // Edits saved since the pull began are local changes too: the pull must not undo them.
    auto basisNow = [&] {
        SyncBasis basis = basisAtStart;
        basis.commandsEditedLocally |= syncLedger_->commandsEdits() != commandEdits;
        basis.profileEditedLocally |= syncLedger_->profileEdits() != profileEdits;
        return basis;
    };
    auto merge = mergeRemoteData(*local, profile, commands, basisNow());
    if (merge.changed()) {
        // Merged again inside the serialised update, against the configuration as it is then.
        bool abandoned = false;
        std::function<void(AppConfig&)> apply = [&](AppConfig& config) {
            if (syncLedger_->resets() != resets) {
                abandoned = true;
                return;
            }
            merge = mergeRemoteData(config, profile, commands, basisNow());
            config = merge.config;
        };
        std::function<bool(const AppConfig&, const AppConfig&)> keepCopy = [&](const AppConfig&,
                                                                               const AppConfig&) {
            return !abandoned && merge.dropsLocalCommands;
        };
        auto saved = co_await loggingFailure(shielded(configService_->update(apply, keepCopy)),
                                             applyFailedLine);
        if (!saved)
            co_return false;
        if (abandoned)
            co_return ok;
        recordAgreement(merge, commandEdits, profileEdits);
        // Told only once the new list is saved: the monitor never accepts a name the
        // configuration does not hold.
        if (merge.commandsChanged) {
            std::set<std::string> names;
            for (const auto& command : saved->commands)
                names.insert(command.name);
            co_await textMonitor_->updateValidCommandNames(std::move(names));
        }
        logLine("✅ [Pennial] Local config updated from remote");
    } else {
        recordAgreement(merge, commandEdits, profileEdits);
    }

    bool pushed = true;
    if (merge.pushCommands)
        pushed = co_await pushCommandsLocked(*account) && pushed;
    if (merge.pushProfile)
        pushed = co_await pushProfileLocked() && pushed;
    co_return ok&& pushed;
}

void AppCoordinator::recordAgreement(const RemoteMerge& merge, unsigned commandEdits,
                                     unsigned profileEdits) {
    if (merge.agreedCommands)
        syncLedger_->agreeOnCommands(*merge.agreedCommands, commandEdits);
    if (merge.agreedProfile)
        syncLedger_->agreeOnProfile(*merge.agreedProfile, profileEdits);
}

Awaitable<bool> AppCoordinator::pushLocalCommands() {
    co_return co_await shielded([](std::shared_ptr<AppCoordinator> self) -> Awaitable<bool> {
        co_return co_await self->pushLocalCommandsNow();
    }(shared_from_this()));
}

Awaitable<bool> AppCoordinator::pushLocalCommandsNow() {
    auto guard = co_await syncAccess_.lock();
    auto account = co_await signedInAccount();
    if (!account) {
        logf("{}{}", pushFailedLine, "nobody is signed in");
        co_return false;
    }
    // Local data not yet merged with this account's cloud copy is merged first, never pushed
    // over it.
    if (syncLedger_->localDataAccount() != *account)
        co_return co_await pullLocked();
    // Asked for by a save that ran late, after the local data started over for this account:
    // the edit was the previous owner's, and pushing now would send the fresh start over the
    // account's own cloud copy.
    if (!syncLedger_->commandsEditedSinceStartOver())
        co_return true;
    co_return co_await pushCommandsLocked(*account);
}

Awaitable<bool> AppCoordinator::pushLocalProfile() {
    co_return co_await shielded([](std::shared_ptr<AppCoordinator> self) -> Awaitable<bool> {
        co_return co_await self->pushLocalProfileNow();
    }(shared_from_this()));
}

Awaitable<bool> AppCoordinator::pushLocalProfileNow() {
    auto guard = co_await syncAccess_.lock();
    auto account = co_await signedInAccount();
    if (!account) {
        logf("{}{}", pushProfileFailedLine, "nobody is signed in");
        co_return false;
    }
    if (syncLedger_->localDataAccount() != *account)
        co_return co_await pullLocked();
    if (!syncLedger_->profileEditedSinceStartOver())
        co_return true;
    co_return co_await pushProfileLocked();
}

Awaitable<bool> AppCoordinator::pushCommandsLocked(const std::string& account) {
    const unsigned resets = syncLedger_->resets();
    const unsigned edits = syncLedger_->commandsEdits();
    // What is saved now: the last edit, whichever save put it there.
    auto local = co_await loggingFailure(configService_->loadConfiguration(), pushFailedLine);
    if (!local)
        co_return false;
    if (!co_await loggingFailure(supabaseStore_->pushCommands(local->commands), pushFailedLine))
        co_return false;
    if (syncLedger_->resets() == resets)
        syncLedger_->commandsPushed(account, local->commands, edits);
    co_return true;
}

Awaitable<bool> AppCoordinator::pushProfileLocked() {
    const unsigned resets = syncLedger_->resets();
    const unsigned edits = syncLedger_->profileEdits();
    auto local =
        co_await loggingFailure(configService_->loadConfiguration(), pushProfileFailedLine);
    if (!local)
        co_return false;
    if (!co_await loggingFailure(
            supabaseStore_->pushProfile(local->userDisplayNames, local->userWritingContext),
            pushProfileFailedLine))
        co_return false;
    if (syncLedger_->resets() == resets)
        syncLedger_->profilePushed(local->userDisplayNames, local->userWritingContext, edits);
    co_return true;
}

void AppCoordinator::recordLocalDataOwnerIfUnknown() {
    // A lost ledger's data may hold an edit of the account that signs in next: not nobody's.
    if (!isAuthenticated() && !syncLedger_->localDataAccount() && !syncLedger_->lost())
        syncLedger_->startOver("");
}

AppConfig AppCoordinator::signedOutConfiguration() const {
    AppConfig defaults;
    defaults.triggerPattern = ";;";
    defaults.commands = AppConfig::defaultCommands();
    defaults.apiBaseURL = endpoints_.productApiBaseURL;
    defaults.apiTimeout = 10.0;
    return defaults;
}

Awaitable<void> AppCoordinator::signOut() {
    co_await authService_->signOut();
    publish([](CoordinatorState& state) { state.isAuthenticated = false; });
    userEmail_.reset();
    // The local data is about to be the defaults, nobody's: nothing of the old account is left
    // to push, and a pull still running for it applies nothing. Edits the cloud never got are
    // kept aside with the replaced file.
    const SyncBasis basis = syncLedger_->basis(syncLedger_->localDataAccount().value_or(""));
    syncLedger_->startOver("");

    const auto defaults = signedOutConfiguration();
    std::function<void(AppConfig&)> reset = [&](AppConfig& config) { config = defaults; };
    std::function<bool(const AppConfig&, const AppConfig&)> keepCopy = [&](const AppConfig& before,
                                                                           const AppConfig& after) {
        return before != after && holdsUnsyncedChanges(before, basis);
    };
    co_await loggingFailure(configService_->update(reset, keepCopy),
                            "⚠️ [Pennial] Failed to reset config on sign out: ");

    co_await stopMonitoring();
    refreshOnboardingPresentation();
}

} // namespace pennial
