#include "app/sync_ledger.hpp"

#include "base/log.hpp"

namespace pennial {
namespace {

constexpr const char* syncedCommandsKey = "syncedCommandsDigest";
constexpr const char* syncedProfileKey = "syncedProfileDigest";
constexpr const char* ledgerLostKey = "syncLedgerLost";

// Set once this installation has pushed a non-empty command list for the account: from then on
// an empty cloud list is the user's own choice, not "not set yet".
std::string pushedCommandsKey(const std::string& account) {
    return "hasPushedCommands:" + account;
}

} // namespace

SyncLedger::SyncLedger(std::shared_ptr<UserDefaults> defaults) : defaults_(std::move(defaults)) {
    if (defaults_->storedValuesLost() && !localDataAccount()) {
        logLine("⚠️ [Pennial] Sync records unreadable: local commands and profile count as not "
                "pushed yet");
        defaults_->setBool(ledgerLostKey, true);
    }
}

std::optional<std::string> SyncLedger::localDataAccount() const {
    return defaults_->stringForKey(localDataAccountKey);
}

void SyncLedger::startOver(const std::string& account) {
    ++resets_;
    defaults_->setString(localDataAccountKey, account);
    defaults_->setString(syncedCommandsKey, std::nullopt);
    defaults_->setString(syncedProfileKey, std::nullopt);
    if (lost())
        defaults_->setBool(ledgerLostKey, false);
    if (defaults_->boolForKey(hasUnpushedLocalCommandsKey))
        defaults_->setBool(hasUnpushedLocalCommandsKey, false);
    if (defaults_->boolForKey(hasUnpushedLocalProfileKey))
        defaults_->setBool(hasUnpushedLocalProfileKey, false);
}

void SyncLedger::adoptUnrecorded(const std::string& account) {
    defaults_->setString(localDataAccountKey, account);
}

bool SyncLedger::lost() const {
    return defaults_->boolForKey(ledgerLostKey);
}

void SyncLedger::adoptLost(const std::string& account, const AppConfig& local) {
    if (!sameCommandsIgnoringIds(local.commands, AppConfig::defaultCommands()))
        defaults_->setBool(hasUnpushedLocalCommandsKey, true);
    if (!local.userDisplayNames.empty() || !local.userWritingContext.empty())
        defaults_->setBool(hasUnpushedLocalProfileKey, true);
    defaults_->setString(localDataAccountKey, account);
    defaults_->setBool(ledgerLostKey, false);
}

void SyncLedger::noteCommandsEdit() {
    ++commandsEdits_;
    commandsEditReset_ = resets_.load();
    defaults_->setBool(hasUnpushedLocalCommandsKey, true);
}

void SyncLedger::noteProfileEdit() {
    ++profileEdits_;
    profileEditReset_ = resets_.load();
    defaults_->setBool(hasUnpushedLocalProfileKey, true);
}

SyncBasis SyncLedger::basis(const std::string& account) const {
    SyncBasis basis;
    basis.commandsDigest = defaults_->stringForKey(syncedCommandsKey);
    basis.profileDigest = defaults_->stringForKey(syncedProfileKey);
    // Nothing of a lost ledger's local data is known to be in the cloud.
    const bool unknown = lost();
    basis.commandsEditedLocally = unknown || defaults_->boolForKey(hasUnpushedLocalCommandsKey);
    basis.profileEditedLocally = unknown || defaults_->boolForKey(hasUnpushedLocalProfileKey);
    basis.pushedNonEmptyCommands = defaults_->boolForKey(pushedCommandsKey(account));
    return basis;
}

void SyncLedger::agreeOnCommands(const std::string& digest, unsigned editsBefore) {
    if (defaults_->stringForKey(syncedCommandsKey) != digest)
        defaults_->setString(syncedCommandsKey, digest);
    if (commandsEdits_ == editsBefore && defaults_->boolForKey(hasUnpushedLocalCommandsKey))
        defaults_->setBool(hasUnpushedLocalCommandsKey, false);
}

void SyncLedger::agreeOnProfile(const std::string& digest, unsigned editsBefore) {
    if (defaults_->stringForKey(syncedProfileKey) != digest)
        defaults_->setString(syncedProfileKey, digest);
    if (profileEdits_ == editsBefore && defaults_->boolForKey(hasUnpushedLocalProfileKey))
        defaults_->setBool(hasUnpushedLocalProfileKey, false);
}

void SyncLedger::commandsPushed(const std::string& account, const std::vector<Command>& commands,
                                unsigned editsBefore) {
    agreeOnCommands(commandsDigest(commands), editsBefore);
    if (!commands.empty() && !defaults_->boolForKey(pushedCommandsKey(account)))
        defaults_->setBool(pushedCommandsKey(account), true);
}

void SyncLedger::profilePushed(const std::string& names, const std::string& context,
                               unsigned editsBefore) {
    agreeOnProfile(profileDigest(names, context), editsBefore);
}

} // namespace pennial
