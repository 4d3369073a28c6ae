#include "linux_coordinator_fixture.hpp"

#include "composition/backend_endpoints.hpp"
#include "composition/linux_coordinator_dependencies.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"
#include "platform/linux/storage/libsecret_store.hpp"
#include "services/app_config.hpp"
#include "services/auth_session.hpp"
#include "services/file_config_storage.hpp"
#include "services/keychain_store.hpp"

#include <cstdlib>

namespace pennial::e2e {

namespace {
constexpr const char* sessionService = "com.pennial.Pennial.auth";
constexpr const char* sessionKey = "session";

KeychainStore keyring() {
    return KeychainStore(std::make_shared<LibsecretStore>(), sessionService);
}
} // namespace

void LinuxCoordinatorTest::SetUp() {
    if (!available())
        GTEST_SKIP() << "needs a desktop session";
    // What a developer does to point the application at a local backend.
    ::setenv(apiBaseURLVariable, backend.baseURL().c_str(), 1);
    ::setenv(supabaseURLVariable, backend.baseURL().c_str(), 1);
    keyring().remove(sessionKey);
}

void LinuxCoordinatorTest::TearDown() {
    if (!available())
        return;
    coordinator.reset();
    pumpFor(50ms); // tasks that outlive the coordinator see it gone and end
    keyring().remove(sessionKey);
    ::unsetenv(apiBaseURLVariable);
    ::unsetenv(supabaseURLVariable);
}

std::string LinuxCoordinatorTest::signIn() {
    FileUserDefaults defaults(folder / "defaults.json");
    for (const char* flag : {"hasSeenWelcomeOnboarding", "hasSeenVideoIntro",
                             "hasCompletedProfileOnboarding", "hasCompletedPlaygroundOnboarding"})
        defaults.setBool(flag, true);
    auto issued = backend.issueSession("ada@example.test");
    AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                        std::chrono::system_clock::now() + std::chrono::hours(1), issued.email};
    keyring().save(sessionKey, session.toJson());
    signedInUser_ = issued.userId;
    return issued.userId;
}

void LinuxCoordinatorTest::addCommand(std::string name, std::string content, bool replaceText) {
    extraCommands_.push_back(Command::make(std::move(name), std::move(content), replaceText));
}

void LinuxCoordinatorTest::writeConfiguration() {
    AppConfig config = AppConfig::defaults();
    config.commands.insert(config.commands.end(), extraCommands_.begin(), extraCommands_.end());
    FileConfigStorage(folder / "config.json").saveNow(config);
    // A returning user's commands are in the cloud too: the pull at start keeps them.
    if (signedInUser_.empty())
        return;
    Json rows = Json::array();
    for (const auto& command : config.commands)
        rows.push_back({{"user_id", signedInUser_},
                        {"command_id", command.id.toString()},
                        {"name", command.name},
                        {"content", command.content},
                        {"mode", modeName(command.replaceText)},
                        {"metadata", nullptr}});
    backend.setCommandRows(signedInUser_, std::move(rows));
}

void LinuxCoordinatorTest::launch() {
    writeConfiguration();
    auto dependencies = linuxCoordinatorDependencies(mainContext());
    dependencies.userDefaults = std::make_shared<FileUserDefaults>(folder / "defaults.json");
    dependencies.configFile = folder / "config.json";
    dependencies.timings = timings;
    // The addresses come from the environment; this build's key may be none at all.
    dependencies.endpoints.supabaseAnonKey = "test-publishable-key";
    onboarding = std::make_shared<testing::FakeOnboardingWindow>();
    dependencies.onboardingWindow = onboarding;
    overlay = std::make_shared<testing::FakeSpinnerOverlay>();
    dependencies.spinner = overlayAround ? overlayAround(overlay, dependencies.screens) : overlay;
    dependencies.notchPasscodePanel = std::make_shared<testing::FakeNotchPasscodePanel>();
    dependencies.cardWindows = std::make_shared<testing::FakeCardWindowFactory>();
    dependencies.windowFocus = std::make_shared<testing::FakeWindowFocus>();
    coordinator = AppCoordinator::create(std::move(dependencies));
    ASSERT_TRUE(waitUntil([&] { return !coordinator->isStarting(); }, 10s));
    ASSERT_TRUE(coordinator->isMonitoring()) << coordinator->statusMessage();
}

} // namespace pennial::e2e
