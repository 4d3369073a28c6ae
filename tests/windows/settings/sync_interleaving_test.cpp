// Random schedules of what a user and the network do to the settings, run against the real
// coordinator, the real Commands and General tabs and the fake backend: tabs opened (each one
// pulls), commands added, edited and deleted, profile and pattern saves, delays, failed pushes and
// pulls, an expired session, sign-out, sign-in with the other account, edits made signed out, and
// the file edited between runs. A model of the user's last saved edits is the oracle: once a
// schedule settles, the file, a freshly loaded tab and the cloud rows of the signed-in account
// equal it, and nothing of the other account is anywhere. PENNIAL_SYNC_SCHEDULES overrides the
// number of schedules, PENNIAL_SYNC_SEED replays one.

#include "app/remote_merge.hpp"
#include "base/log.hpp"
#include "commands_tab_fixture.hpp"
#include "services/auth_service.hpp"
#include "services/supabase_rows.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_text_area.hpp"
#include "windows/settings/commands_tab.hpp"
#include "windows/settings/general_tab.hpp"
#include "windows/settings/settings_button.hpp"

#include <QLineEdit>
#include <cstdlib>
#include <fmt/format.h>
#include <fmt/ranges.h>
#include <random>

namespace pennial::testing {
namespace {

using namespace std::chrono_literals;

struct Profile {
    std::string names;
    std::string context;
    bool operator==(const Profile&) const = default;
};

// What the user last saved, as the product promises to keep it.
struct Model {
    std::optional<std::string> signedIn;               // the account signed in
    std::string owner;                                 // whose data the file holds; "" for nobody's
    std::vector<Command> local;                        // the file's commands
    Profile profile;                                   // the file's profile
    std::string pattern = ";;";                        // the file's trigger pattern
    std::map<std::string, std::vector<Command>> cloud; // what each account gets at its sign-in
    std::map<std::string, Profile> cloudProfile;
    // The sign-in's pull did not get through: the cloud copy replaces what the file started
    // from at the next pull that does, unless the user edits it first.
    bool commandsFromCloudPending = false;
    bool profileFromCloudPending = false;
};

std::string describe(const std::vector<Command>& commands) {
    std::string text;
    for (const auto& command : commands)
        text += fmt::format("[{}|{}|{}] ", command.name, command.content, command.replaceText);
    return text;
}

class SyncInterleaving : public CommandsTabFixture {
protected:
    struct Account {
        std::string email;
        std::string id;
        std::string tag; // marks every text this account's user writes
    };

    // As the process ends: nothing of this run writes anything afterwards.
    void stopCoordinator() {
        closeTabs();
        settle();
        std::weak_ptr<AppCoordinator> running = coordinator;
        coordinator.reset();
        EXPECT_TRUE(pumpUntil([&] { return running.expired(); }, 10s));
    }

    void closeTabs() {
        commandsHost.reset();
        commandsTab = nullptr;
        generalHost.reset();
        generalTab = nullptr;
    }

    // Until nothing has reached the backend for a while and no tab is loading.
    void settle() {
        std::size_t seen = SIZE_MAX;
        auto quietSince = std::chrono::steady_clock::now();
        pumpUntil(
            [&] {
                const auto now = backend.requests().size();
                const bool loading = (commandsTab && commandsTab->isLoading()) ||
                                     (generalTab && generalTab->isLoading());
                if (now != seen || loading) {
                    seen = now;
                    quietSince = std::chrono::steady_clock::now();
                }
                return std::chrono::steady_clock::now() - quietSince > 50ms;
            },
            10s);
    }

    std::vector<Command> cloudCommands(const Account& account) {
        return decodeCommandRows(json::dump(backend.commandRows(account.id)));
    }
    Profile cloudProfileOf(const Account& account) {
        auto row = backend.profileRow(account.id);
        if (!row)
            return {};
        return {row->value("user_display_names", ""), row->value("user_writing_context", "")};
    }

    // The file now belongs to someone else: what its owner's cloud holds is what that account
    // will get back.
    void leaveOwner() {
        if (!model.owner.empty()) {
            const auto& previous = accountOf(model.owner);
            model.cloud[previous.id] = cloudCommands(previous);
            model.cloudProfile[previous.id] = cloudProfileOf(previous);
        }
    }

    void signIn(const Account& account) {
        settle();
        runAwaitable(coordinator->authService()->verifyOTP(account.email, "123456"));
        // As after the code step: the pull that makes the local data this account's.
        runAwaitable(coordinator->pullRemoteData());
        model.signedIn = account.id;
        if (model.owner == account.id)
            return; // the local data is this account's: what was not pushed yet wins
        auto start = model.local;
        auto startProfile = model.profile;
        if (!model.owner.empty()) {
            leaveOwner();
            model.pattern = ";;";
            start = AppConfig::defaults().commands;
            startProfile = {};
        }
        model.owner = account.id;
        // The cloud copy, or what the file starts from when the pull failed; never the
        // previous owner's data.
        const auto stored = storedOrDefaults();
        const auto& cloud = model.cloud[account.id];
        model.commandsFromCloudPending = !sameCommandsIgnoringIds(stored.commands, cloud);
        EXPECT_TRUE(!model.commandsFromCloudPending ||
                    sameCommandsIgnoringIds(stored.commands, start))
            << describe(stored.commands);
        model.local = stored.commands;
        const Profile storedProfile{stored.userDisplayNames, stored.userWritingContext};
        model.profileFromCloudPending = storedProfile != model.cloudProfile[account.id];
        EXPECT_TRUE(!model.profileFromCloudPending || storedProfile == startProfile)
            << storedProfile.names;
        model.profile = storedProfile;
    }

    AppConfig storedOrDefaults() {
        return std::filesystem::exists(configFile) ? readConfig() : AppConfig::defaults();
    }

    template <class T> T runAwaitable(Awaitable<T> awaitable) {
        std::optional<T> result;
        std::exception_ptr error;
        asio::co_spawn(main, std::move(awaitable), [&](std::exception_ptr e, T value) {
            error = e;
            result = std::move(value);
        });
        EXPECT_TRUE(pumpUntil([&] { return result.has_value() || error; }));
        if (error)
            std::rethrow_exception(error);
        return std::move(*result);
    }
    void runAwaitable(Awaitable<void> awaitable) {
        bool done = false;
        asio::co_spawn(main, std::move(awaitable), [&](std::exception_ptr) { done = true; });
        EXPECT_TRUE(pumpUntil([&] { return done; }));
    }

    // The text written by whoever owns the local data now.
    std::string tag() const {
        return model.owner.empty() ? std::string("S") : accountOf(model.owner).tag;
    }
    const Account& accountOf(const std::string& id) const { return id == a.id ? a : b; }

    void openCommandsTab() {
        commandsHost = makeCardSurface();
        commandsTab = new CommandsTab(*coordinator, commandsHost.get());
        commandsHost->layout()->addWidget(commandsTab);
        commandsHost->show();
    }
    void openGeneralTab() {
        generalHost = makeCardSurface();
        generalTab = new GeneralTab(*coordinator, main.get_executor(), generalHost.get());
        generalHost->layout()->addWidget(generalTab);
        generalHost->show();
    }

    // One change through the Commands tab; the model follows when the tab took it.
    void changeCommands(std::mt19937& random, int serial) {
        if (!commandsTab)
            return openCommandsTab();
        const auto before = commandsTab->commands();
        const auto size = before.size();
        switch (random() % 3) {
        case 0:
            commandsTab->addCommand();
            break;
        case 1:
            if (size > 0)
                commandsTab->updateCommand(random() % size, fmt::format("c{}", serial),
                                           fmt::format("{}:{}", tag(), serial), random() % 2);
            break;
        default:
            if (size > 1)
                commandsTab->deleteCommand(random() % size);
        }
        if (commandsTab->commands() != before) {
            model.local = commandsTab->commands();
            model.commandsFromCloudPending = false;
        }
    }

    void saveProfileOrPattern(std::mt19937& random, int serial) {
        if (!generalTab)
            return openGeneralTab();
        if (random() % 2) {
            Profile typed{fmt::format("{}-{}", tag(), serial), fmt::format("{} notes", tag())};
            generalTab->namesField()->setText(QString::fromStdString(typed.names));
            generalTab->writingArea()->setText(QString::fromStdString(typed.context));
            generalTab->profileSaveButton()->click();
            if (generalTab->profileSaveButton()->isEnabled()) {
                model.profile = typed;
                model.profileFromCloudPending = false;
            }
        } else {
            static const char* patterns[] = {"//", "::", ";;", "#!"};
            const std::string pattern = patterns[random() % 4];
            generalTab->triggerField()->setText(QString::fromStdString(pattern));
            generalTab->saveButton()->click();
            if (generalTab->saveButton()->isEnabled())
                model.pattern = pattern;
        }
    }

    void misbehave(std::mt19937& random) {
        static const Endpoint endpoints[] = {Endpoint::commandsGet, Endpoint::profileGet,
                                             Endpoint::commandsUpsert, Endpoint::profileUpsert};
        const Endpoint endpoint = endpoints[random() % 4];
        if (random() % 2) {
            backend.setDelay(endpoint, std::chrono::milliseconds(random() % 20));
            return;
        }
        // 409 rather than 5xx for pushes: refused at once, without the waits of a retry.
        const bool push =
            endpoint == Endpoint::commandsUpsert || endpoint == Endpoint::profileUpsert;
        backend.answerNext(endpoint, FakeAnswer::json(push ? 409 : 500, {{"message", "no"}}));
    }

    void editFileBetweenRuns(int serial) {
        stopCoordinator();
        auto config = storedOrDefaults();
        config.commands.push_back(Command::make(fmt::format("f{}", serial),
                                                fmt::format("{}:file{}", tag(), serial), true));
        writeConfig(config);
        model.local = config.commands;
        model.commandsFromCloudPending = false;
        startCoordinator();
    }

    void runSchedule(unsigned seed) {
        std::mt19937 random(seed);
        const auto suffix = std::to_string(seed);
        a = {"a" + suffix + "@example.test", "", "A"};
        b = {"b" + suffix + "@example.test", "", "B"};
        for (Account* account : {&a, &b}) {
            account->id = backend.issueSession(account->email).userId;
            auto seeded = Command::make("seed", account->tag + ":seed", true);
            backend.setCommandRows(account->id, Json::array({{{"command_id", seeded.id.toString()},
                                                              {"name", seeded.name},
                                                              {"content", seeded.content},
                                                              {"mode", "smart_edit"}}}));
            Profile profile{account->tag + "-seed", account->tag + " seed notes"};
            backend.setProfileRow(account->id, {{"user_id", account->id},
                                                {"user_display_names", profile.names},
                                                {"user_writing_context", profile.context}});
            model.cloud[account->id] = {seeded};
            model.cloudProfile[account->id] = profile;
        }
        // A fresh installation, signed out, on the defaults.
        model.local = AppConfig::defaults().commands;
        startCoordinator();
        if (random() % 2)
            signIn(random() % 2 ? a : b);

        const int steps = 8 + static_cast<int>(random() % 10);
        for (int serial = 0; serial < steps; ++serial) {
            const unsigned roll = random() % 100;
            steps_.push_back(roll);
            logf("🔍 [SyncInterleaving] schedule {} step {}", seed, roll);
            if (roll < 35)
                changeCommands(random, serial);
            else if (roll < 50)
                saveProfileOrPattern(random, serial);
            else if (roll < 62)
                misbehave(random);
            else if (roll < 67 && model.signedIn) {
                runAwaitable(coordinator->handleAuthExpired());
                model.signedIn.reset();
            } else if (roll < 72 && model.signedIn) {
                runAwaitable(coordinator->signOut());
                settle();
                leaveOwner();
                Model after;
                after.local = AppConfig::defaultCommands();
                after.cloud = model.cloud;
                after.cloudProfile = model.cloudProfile;
                model = std::move(after);
            } else if (roll < 82 && !model.signedIn)
                signIn(random() % 2 ? a : b);
            else if (roll < 85)
                editFileBetweenRuns(serial);
            else if (roll < 90)
                closeTabs();
            pumpFor(std::chrono::milliseconds(random() % 15));
        }

        // The network heals and the user ends signed in, with the settings opened once more.
        closeTabs();
        for (auto endpoint : {Endpoint::commandsGet, Endpoint::profileGet, Endpoint::commandsUpsert,
                              Endpoint::profileUpsert})
            backend.clearAnswers(endpoint);
        if (!model.signedIn)
            signIn(random() % 2 ? a : b);
        settle();
        openCommandsTab();
        settle();
        if (model.commandsFromCloudPending)
            model.local = model.cloud[*model.signedIn];
        if (model.profileFromCloudPending)
            model.profile = model.cloudProfile[*model.signedIn];
        check(seed);
        stopCoordinator();
    }

    void check(unsigned seed) {
        const Account& now = accountOf(*model.signedIn);
        const Account& other = now.id == a.id ? b : a;
        const auto stored = readConfig();
        const std::string replay =
            fmt::format(" (PENNIAL_SYNC_SEED={}, steps {})", seed, fmt::join(steps_, " "));
        EXPECT_TRUE(sameCommandsIgnoringIds(stored.commands, model.local))
            << "file " << describe(stored.commands) << "\nmodel " << describe(model.local)
            << replay;
        EXPECT_TRUE(sameCommandsIgnoringIds(commandsTab->commands(), model.local))
            << "tab " << describe(commandsTab->commands()) << replay;
        EXPECT_TRUE(sameCommandsIgnoringIds(cloudCommands(now), model.local))
            << "cloud " << describe(cloudCommands(now)) << replay;
        EXPECT_EQ((Profile{stored.userDisplayNames, stored.userWritingContext}), model.profile)
            << replay;
        EXPECT_EQ(cloudProfileOf(now), model.profile) << replay;
        EXPECT_EQ(stored.triggerPattern, model.pattern) << replay;
        // The other account keeps what it had, and none of it is here.
        EXPECT_TRUE(sameCommandsIgnoringIds(cloudCommands(other), model.cloud[other.id]))
            << "other cloud " << describe(cloudCommands(other)) << replay;
        auto hasOthers = [&](const std::vector<Command>& commands) {
            return std::any_of(commands.begin(), commands.end(), [&](const Command& command) {
                return command.content.starts_with(other.tag + ":");
            });
        };
        EXPECT_FALSE(hasOthers(stored.commands) || hasOthers(cloudCommands(now))) << replay;
        EXPECT_FALSE(stored.userDisplayNames.starts_with(other.tag + "-")) << replay;
    }

    Account a, b;
    Model model;
    std::vector<unsigned> steps_; // the rolls of the schedule, for the failure message
    std::unique_ptr<QWidget> commandsHost;
    CommandsTab* commandsTab = nullptr;
    std::unique_ptr<QWidget> generalHost;
    GeneralTab* generalTab = nullptr;
};

// The sanitizer build runs a fifth of them: its schedules are as thorough and take longer.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr unsigned defaultSchedules = 100;
#else
constexpr unsigned defaultSchedules = 500;
#endif
#else
constexpr unsigned defaultSchedules = 500;
#endif

unsigned fromEnvironment(const char* name, unsigned fallback) {
    const char* value = std::getenv(name);
    return value && *value ? static_cast<unsigned>(std::strtoul(value, nullptr, 10)) : fallback;
}

TEST_F(SyncInterleaving, TheLastSavedEditWinsAndAccountsNeverMix) {
    const unsigned first = fromEnvironment("PENNIAL_SYNC_SEED", 1);
    const unsigned count = std::getenv("PENNIAL_SYNC_SEED")
                               ? 1
                               : fromEnvironment("PENNIAL_SYNC_SCHEDULES", defaultSchedules);
    for (unsigned seed = first; seed < first + count && !HasFailure(); ++seed) {
        // Every schedule starts from a fresh installation.
        std::filesystem::remove_all(configFile.parent_path());
        std::filesystem::create_directories(configFile.parent_path());
        defaults = std::make_shared<SimUserDefaults>();
        secrets = std::make_shared<SimSecretStore>();
        for (auto endpoint : {Endpoint::commandsGet, Endpoint::profileGet, Endpoint::commandsUpsert,
                              Endpoint::profileUpsert})
            backend.clearAnswers(endpoint);
        backend.clearRequests();
        model = {};
        steps_.clear();
        runSchedule(seed);
    }
}

} // namespace
} // namespace pennial::testing
