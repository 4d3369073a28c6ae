#include "coordinator_fixture.hpp"

#include "services/auth_session.hpp"
#include "services/file_config_storage.hpp"

#include <fstream>

namespace pennial::testing {

CoordinatorFixture::CoordinatorFixture() : keepRunning(main.get_executor()) {
    timings.permissionPollInterval = std::chrono::milliseconds(40);
    timings.permissionRequestSettle = std::chrono::milliseconds(20);
    timings.designPreviewDelay = std::chrono::milliseconds(20);
    timings.notchPanelDelay = std::chrono::milliseconds(10);
    desktop.setTrusted(false);
}

CoordinatorFixture::~CoordinatorFixture() {
    coordinator.reset();
    // Let tasks that outlive the coordinator see it gone and end.
    runFor(std::chrono::milliseconds(5));
}

void CoordinatorFixture::completePreSignInSteps() {
    defaults->setBool("hasSeenWelcomeOnboarding", true);
    defaults->setBool("hasSeenVideoIntro", true);
}

void CoordinatorFixture::completeAllSteps() {
    completePreSignInSteps();
    defaults->setBool("hasCompletedProfileOnboarding", true);
    defaults->setBool("hasCompletedPlaygroundOnboarding", true);
}

std::string CoordinatorFixture::storeSession(const std::string& email) {
    auto issued = backend.issueSession(email);
    AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                        std::chrono::system_clock::now() + std::chrono::hours(1), issued.email};
    secrets->putItem("com.pennial.Pennial.auth", "session", session.toJson());
    return issued.userId;
}

void CoordinatorFixture::writeConfig(const AppConfig& config) {
    FileConfigStorage(configFile()).saveNow(config);
}

void CoordinatorFixture::writeConfigText(const std::string& text) {
    std::ofstream(configFile()) << text;
}

AppConfig CoordinatorFixture::readConfig() const {
    return FileConfigStorage(configFile()).loadNow();
}

void CoordinatorFixture::build() {
    CoordinatorDependencies dependencies;
    dependencies.main = main.get_executor();
    dependencies.accessibility = desktop.accessibility();
    dependencies.workspace = desktop.workspace();
    dependencies.screens = desktop.screens();
    dependencies.secretStore = secrets;
    dependencies.userDefaults = defaults;
    dependencies.environment = environment;
    dependencies.crashReporter = crashes;
    dependencies.updater = updater;
    dependencies.moveToApplications = moveToApplications;
    dependencies.spinner = overlay;
    dependencies.notchPasscodePanel = panel;
    dependencies.onboardingWindow = onboarding;
    dependencies.cardWindows = cards;
    dependencies.windowFocus = focus;
    dependencies.keyEvents = desktop.keyboard().eventSource(main.get_executor());
    dependencies.paletteKeyInterceptor = paletteKeys;
    dependencies.clipboard = desktop.clipboard();
    dependencies.keyboardSynthesizer = desktop.keyboardSynthesizer();
    if (!useRealTextMonitor)
        dependencies.makeTextMonitor = [this](std::shared_ptr<AccessibilityMonitor>,
                                              std::string pattern) {
            textMonitor = std::make_shared<FakeTextMonitor>(std::move(pattern));
            if (onTextMonitorMade)
                onTextMonitorMade(*textMonitor);
            return textMonitor;
        };
    dependencies.endpoints = {backend.baseURL(), backend.baseURL(), "test-publishable-key"};
    dependencies.configFile = configFile();
    dependencies.timings = timings;
    if (adjustDependencies)
        adjustDependencies(dependencies);
    coordinator = AppCoordinator::create(std::move(dependencies));
}

void CoordinatorFixture::launch() {
    build();
    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
}

bool CoordinatorFixture::runUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        main.run_one_for(std::chrono::milliseconds(5));
    }
    return true;
}

void CoordinatorFixture::runFor(std::chrono::milliseconds duration) {
    auto deadline = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < deadline)
        main.run_one_for(std::chrono::milliseconds(1));
}

void CoordinatorFixture::await(Awaitable<void> awaitable) {
    std::exception_ptr error;
    bool done = false;
    asio::co_spawn(main, std::move(awaitable), [&](std::exception_ptr e) {
        error = e;
        done = true;
    });
    EXPECT_TRUE(runUntil([&] { return done; }));
    if (error)
        std::rethrow_exception(error);
}

std::vector<std::string> CoordinatorFixture::coordinatorLines() const {
    return log.matching("[Pennial]");
}

} // namespace pennial::testing
