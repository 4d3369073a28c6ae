// Construction: every service built once, in a fixed order, and wired together.

#include "app/app_coordinator.hpp"

#include "app/clipboard_loan.hpp"
#include "app/coordinator_delegate.hpp"
#include "app/text_monitor_adapter.hpp"
#include "base/application_id.hpp"
#include "base/log.hpp"
#include "base/resting_wait.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/context_telemetry_reporter.hpp"
#include "services/curl_http_client.hpp"
#include "services/file_config_storage.hpp"
#include "services/keychain_store.hpp"
#include "services/supabase_store.hpp"
#include "services/transform_service.hpp"
#include "text/accessibility_monitor.hpp"
#include "text/ax_accessibility_provider.hpp"
#include "text/context_strategy_router.hpp"

#include <asio/post.hpp>
#include <asio/this_coro.hpp>
#include <utility>

namespace pennial {
namespace {

constexpr double transformTimeoutSeconds = 30.0;
constexpr std::chrono::seconds authClientLimit{10};

// The telemetry reporter and what it reaches, kept alive by every report still in flight.
struct TelemetryLink {
    TelemetryLink(std::shared_ptr<HTTPClient> httpClient, std::shared_ptr<AuthService> auth,
                  std::string apiBaseURL)
        : client(std::move(httpClient)), authService(std::move(auth)),
          reporter(*client, std::move(apiBaseURL), *authService) {}
    std::shared_ptr<HTTPClient> client;
    std::shared_ptr<AuthService> authService;
    ContextTelemetryReporter reporter;
};

Awaitable<void> sendTelemetry(std::shared_ptr<TelemetryLink> link, std::string bundleIdentifier,
                              std::string appName, std::string strategyUsed,
                              std::vector<AnonymizedTreeNode> tree) {
    co_await link->reporter.report(std::move(bundleIdentifier), std::move(appName),
                                   std::move(strategyUsed), std::move(tree));
}

} // namespace

std::shared_ptr<AppCoordinator> AppCoordinator::create(CoordinatorDependencies dependencies) {
    auto coordinator = std::make_shared<AppCoordinator>(Token{}, std::move(dependencies));
    coordinator->launchStartup();
    return coordinator;
}

AppCoordinator::AppCoordinator(Token, CoordinatorDependencies dependencies)
    : main_(dependencies.main), accessibility_(std::move(dependencies.accessibility)),
      workspace_(std::move(dependencies.workspace)), screens_(std::move(dependencies.screens)),
      userDefaults_(std::move(dependencies.userDefaults)),
      crashReporter_(std::move(dependencies.crashReporter)),
      moveToApplications_(std::move(dependencies.moveToApplications)),
      accessibilityBusReachable_(std::move(dependencies.accessibilityBusReachable)),
      cardWindows_(std::move(dependencies.cardWindows)),
      windowFocus_(std::move(dependencies.windowFocus)),
      clipboard_(std::move(dependencies.clipboard)),
      keyboardSynthesizer_(std::move(dependencies.keyboardSynthesizer)),
      clipboardReachesPastes_(std::move(dependencies.clipboardReachesPastes)),
      endpoints_(std::move(dependencies.endpoints)), timings_(dependencies.timings),
      transformCooldown_(timings_.transformCooldown) {
    updateService_ = std::make_unique<UpdateService>(std::move(dependencies.updater), main_);
    onboardingWindow_ = std::move(dependencies.onboardingWindow);
    notchPasscodePanel_ = std::move(dependencies.notchPasscodePanel);
    // Only "1" turns the preview on; read once, here.
    spinnerDesignModeAlwaysOn_ =
        dependencies.environment && dependencies.environment->value(spinnerDesignModeVariable) ==
                                        std::optional<std::string>("1");

    httpClient_ = dependencies.httpClient ? std::move(dependencies.httpClient)
                                          : std::make_shared<CurlHttpClient>();
    if (dependencies.authHttpClient) {
        authHttpClient_ = std::move(dependencies.authHttpClient);
    } else {
        CurlHttpClient::Options limits;
        limits.requestTimeout = authClientLimit;
        limits.resourceTimeout = authClientLimit;
        authHttpClient_ = std::make_shared<CurlHttpClient>(limits);
    }
    configStorage_ = dependencies.configFile
                         ? std::make_shared<FileConfigStorage>(*dependencies.configFile)
                         : std::make_shared<FileConfigStorage>();
    router_ = std::make_shared<ContextStrategyRouter>(accessibility_);
    accessibilityProvider_ = std::make_shared<AXAccessibilityProvider>(
        router_, AXAccessibilityProvider::Facilities{accessibility_, workspace_, screens_, main_});
    configService_ = std::make_shared<ConfigService>(*configStorage_);
    accessibilityMonitor_ = std::make_shared<AccessibilityMonitor>(accessibilityProvider_);
    keychain_ = std::make_shared<KeychainStore>(std::move(dependencies.secretStore),
                                                std::string(sessionSecretService),
                                                std::string(legacySessionSecretService));
    authService_ = std::make_shared<AuthService>(authHttpClient_, keychain_, endpoints_.supabaseURL,
                                                 endpoints_.supabaseAnonKey);
    transformService_ = std::make_shared<TransformService>(
        *httpClient_, endpoints_.productApiBaseURL, transformTimeoutSeconds, *authService_);

    // The coordinator keeps no handle on the reporter: the router's hook holds it. The hook runs
    // on the capturing thread and only starts the report.
    auto telemetry =
        std::make_shared<TelemetryLink>(httpClient_, authService_, endpoints_.productApiBaseURL);
    router_->setOnUnknownApp([telemetry](const std::string& bundleIdentifier,
                                         const std::string& appName,
                                         const std::string& strategyUsed,
                                         const std::vector<AnonymizedTreeNode>& anonymizedTree) {
        Task::spawn(sharedPool().get_executor(), sendTelemetry(telemetry, bundleIdentifier, appName,
                                                               strategyUsed, anonymizedTree));
    });

    supabaseStore_ = std::make_shared<SupabaseStore>(
        httpClient_, authService_, endpoints_.supabaseURL, endpoints_.supabaseAnonKey);
    syncLedger_ = std::make_unique<SyncLedger>(userDefaults_);
    spinner_ = std::move(dependencies.spinner);
    paletteKeyInterceptor_ = std::move(dependencies.paletteKeyInterceptor);
    if (dependencies.makeTextMonitor) {
        textMonitor_ = dependencies.makeTextMonitor(accessibilityMonitor_, ";;");
    } else {
        textMonitor_ = std::make_shared<TextMonitorAdapter>(TextMonitor::create(
            accessibilityMonitor_, ";;",
            TextMonitor::Facilities{workspace_, std::move(dependencies.keyEvents), main_, sleepFor,
                                    std::move(dependencies.fieldActivity), waitWhileResting},
            pollingPool().get_executor()));
    }

    stateConnection_ = state_.changed().connect([this] { changed_.notify(); });
    updateServiceConnection_ = updateService_->changed().connect([this] { changed_.notify(); });
}

AppCoordinator::~AppCoordinator() {
    returnLentClipboard();
    permissionCheckTask_.cancel();
    spinnerDesignTask_.cancel();
}

void AppCoordinator::returnLentClipboard() {
    ClipboardLoan::giveBackAll();
}

void AppCoordinator::launchStartup() {
    // The delegate needs the coordinator's shared owner, which exists only now.
    delegate_ = std::make_shared<CoordinatorDelegate>(weak_from_this(), main_);
    startupTask_ = startTask(runStartup(shared_from_this()));
}

Awaitable<void> AppCoordinator::runStartup(std::shared_ptr<AppCoordinator> self) {
    co_await self->startupTask();
    if (std::exchange(self->showMainWindowAfterStartup_, false))
        self->presentMainWindow();
}

Breadcrumb AppCoordinator::breadcrumb(std::string category, std::string message) {
    return Breadcrumb{BreadcrumbLevel::info, std::move(category), std::move(message)};
}

void AppCoordinator::addStartBreadcrumb(std::string message) {
    crashReporter_->addBreadcrumb(breadcrumb("start", std::move(message)));
}

namespace {
Awaitable<void> afterCurrentWork(Awaitable<void> body) {
    auto executor = co_await asio::this_coro::executor;
    co_await asio::post(executor, asio::use_awaitable);
    co_await std::move(body);
}

Awaitable<void> runOperation(std::shared_ptr<AppCoordinator> self,
                             Awaitable<void> (AppCoordinator::*operation)()) {
    co_await ((*self).*operation)();
}
} // namespace

Task AppCoordinator::startTask(Awaitable<void> body) {
    std::erase_if(tasks_, [](const Task& task) { return !task.isRunning(); });
    auto task = Task::spawn(main_, afterCurrentWork(std::move(body)));
    tasks_.push_back(task);
    return task;
}

void AppCoordinator::launch(Awaitable<void> (AppCoordinator::*operation)()) {
    startTask(runOperation(shared_from_this(), operation));
}

void AppCoordinator::hideOverlayUnlessPreviewing() {
    if (!spinnerDesignModeAlwaysOn_)
        spinner_->hide();
}

} // namespace pennial
