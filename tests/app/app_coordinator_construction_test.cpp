#include "coordinator_fixture.hpp"
#include "text/accessibility_monitor.hpp"

using namespace pennial;
using namespace pennial::testing;

namespace {

class CoordinatorConstruction : public CoordinatorFixture {};

Awaitable<void> captureAtFocus(std::shared_ptr<AccessibilityMonitor> monitor) {
    auto element = co_await monitor->getFocusedElement();
    co_await monitor->captureContext(element);
}

} // namespace

TEST_F(CoordinatorConstruction, NothingIsReadBeforeStartUpRuns) {
    auto config = AppConfig::defaults();
    config.triggerPattern = "//";
    writeConfig(config);
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();

    build();
    EXPECT_EQ(coordinator->state(), CoordinatorState{});
    EXPECT_EQ(coordinator->statusMessage(), "Ready");
    EXPECT_EQ(textMonitor->triggerPattern, ";;");
    EXPECT_TRUE(textMonitor->calls.empty()) << "the delegate comes with start-up";
    EXPECT_EQ(secrets->calls(SimSecretStore::Operation::read), 0);
    EXPECT_EQ(updater->startCount(), 0);
    EXPECT_TRUE(log.matching("[Pennial]").empty());

    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
    EXPECT_EQ(textMonitor->triggerPattern, "//");
    EXPECT_TRUE(coordinator->isMonitoring());
}

TEST_F(CoordinatorConstruction, UpdateServiceChangesReachTheCoordinatorsObservers) {
    launch();
    int changes = 0;
    auto connection = coordinator->changed().connect([&] { ++changes; });
    updater->reportUpdateFound();
    ASSERT_TRUE(runUntil([&] { return coordinator->updateService().updateAvailable(); }));
    EXPECT_EQ(changes, 1);
    updater->setCanCheckForUpdates(true);
    ASSERT_TRUE(runUntil([&] { return changes == 2; }));
}

TEST_F(CoordinatorConstruction, ATextMonitorOutlivingTheCoordinatorHasItsEventsDropped) {
    launch();
    auto monitor = textMonitor;
    ASSERT_FALSE(monitor->delegate.expired());
    await(monitor->sendQueryUpdate(std::nullopt, "", std::nullopt, false));
    coordinator.reset();
    runFor(std::chrono::milliseconds(5));
    EXPECT_TRUE(monitor->delegate.expired()) << "the monitor never keeps the coordinator alive";
    await(monitor->sendTrigger("fix", ";;fix", 0));
    await(monitor->sendError(std::make_exception_ptr(std::runtime_error("late"))));
}

TEST_F(CoordinatorConstruction, TextMonitorErrorsShowInTheStatusAndHideTheOverlay) {
    desktop.setTrusted(true);
    launch();
    await(textMonitor->sendError(std::make_exception_ptr(std::runtime_error("element gone"))));
    EXPECT_EQ(coordinator->lastError(), "element gone");
    EXPECT_EQ(coordinator->statusMessage(), "Ready");
    EXPECT_EQ(overlay->hideCount, 1);
}

TEST_F(CoordinatorConstruction, AnApplicationWhoseContextCannotBeCapturedIsReported) {
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    auto chat = desktop.addApplication({501, "com.example.chat", "Chat"});
    auto field = chat->addWindow("Chat")->add(SimElement::textField("hi"));
    desktop.focus(field);
    await(captureAtFocus(coordinator->accessibilityMonitor()));
    ASSERT_TRUE(runUntil([&] { return backend.requestCount(Endpoint::contextTelemetry) == 1; }));
    EXPECT_NE(backend.requests(Endpoint::contextTelemetry)[0].body.find("com.example.chat"),
              std::string::npos);
}

TEST_F(CoordinatorConstruction, TheRealTextMonitorIsStartedAndStoppedWithTheUser) {
    useRealTextMonitor = true;
    completeAllSteps();
    desktop.setTrusted(true);
    storeSession();
    launch();
    ASSERT_TRUE(coordinator->isMonitoring());
    EXPECT_EQ(log.matching("🔵 [TextMonitor] Starting monitoring loop — pattern=;;").size(), 1u);
    EXPECT_TRUE(await(coordinator->textMonitor()->isMonitoring()));

    await(coordinator->signOut());
    EXPECT_FALSE(coordinator->isMonitoring());
    EXPECT_FALSE(await(coordinator->textMonitor()->isMonitoring()));
    ASSERT_TRUE(runUntil([&] { return log.contains("🔵 [TextMonitor] Monitoring loop stopped"); }));
}
