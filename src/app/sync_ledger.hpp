#pragma once
// What this installation remembers about its local data and the cloud, between runs: whose data
// the local configuration holds, what was last agreed with that account's cloud copy, and which
// local edits are not pushed yet. Used on the main executor; the edit counts and the reset count
// may be read from any thread.

#include "app/remote_merge.hpp"
#include "platform/user_defaults.hpp"

#include <atomic>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class SyncLedger {
public:
    static constexpr const char* hasUnpushedLocalCommandsKey = "hasUnpushedLocalCommands";
    static constexpr const char* hasUnpushedLocalProfileKey = "hasUnpushedLocalProfile";
    static constexpr const char* localDataAccountKey = "localDataAccount";

    // A ledger that could not be read is recorded as lost at once, so that a later run still
    // knows it.
    explicit SyncLedger(std::shared_ptr<UserDefaults> defaults);

    // The account whose data the local configuration holds: "" for nobody's (the defaults, or
    // what was edited signed out); none when never recorded (an older installation).
    std::optional<std::string> localDataAccount() const;
    // The local data now belongs to account ("" for nobody): what was agreed or left unpushed
    // for the previous owner no longer applies.
    void startOver(const std::string& account);
    // An older installation's local data, taken as the signed-in account's own.
    void adoptUnrecorded(const std::string& account);
    // The ledger could not be read: whose the local data is and what of it the cloud has are
    // unknown until the next account signed in adopts it.
    bool lost() const;
    // The local data of a lost ledger, taken as the signed-in account's own: whatever of it is
    // not the defaults may be an edit the cloud never got, and counts as not pushed.
    void adoptLost(const std::string& account, const AppConfig& local);

    // A local edit about to be stored; counted before the store so a pull that applies
    // meanwhile sees it.
    void noteCommandsEdit();
    void noteProfileEdit();
    unsigned commandsEdits() const { return commandsEdits_; }
    unsigned profileEdits() const { return profileEdits_; }
    // Whether an edit was noted in this run since the local data last started over: only such
    // an edit is its present owner's to push.
    bool commandsEditedSinceStartOver() const { return commandsEditReset_ == resets_; }
    bool profileEditedSinceStartOver() const { return profileEditReset_ == resets_; }
    // Counts every startOver: work begun before one must not apply after it.
    unsigned resets() const { return resets_; }

    // What the merge needs to know of account's local data.
    SyncBasis basis(const std::string& account) const;
    // The local and the cloud copy are equal now; editsBefore is the edit count when the local
    // copy was read: an edit since is still to be pushed.
    void agreeOnCommands(const std::string& digest, unsigned editsBefore);
    void agreeOnProfile(const std::string& digest, unsigned editsBefore);
    // A push of the local data went through; editsBefore is the edit count when it was read.
    void commandsPushed(const std::string& account, const std::vector<Command>& commands,
                        unsigned editsBefore);
    void profilePushed(const std::string& names, const std::string& context, unsigned editsBefore);

private:
    std::shared_ptr<UserDefaults> defaults_;
    std::atomic<unsigned> commandsEdits_{0};
    std::atomic<unsigned> profileEdits_{0};
    std::atomic<unsigned> resets_{0};
    // resets_ as it was at the last edit; none yet at first.
    std::atomic<unsigned> commandsEditReset_{~0u};
    std::atomic<unsigned> profileEditReset_{~0u};
};

} // namespace pennial
