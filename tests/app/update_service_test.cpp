#include "app/update_service.hpp"
#include "base/log.hpp"
#include "platform/sim/sim_updater.hpp"

#include <asio/io_context.hpp>
#include <gtest/gtest.h>
#include <thread>

using namespace pennial;

namespace {

struct UpdateServiceTest : ::testing::Test {
    asio::io_context main;
    std::shared_ptr<SimUpdater> updater = std::make_shared<SimUpdater>();
};

} // namespace

TEST_F(UpdateServiceTest, CanCheckFollowsTheUpdaterFromConstructionOn) {
    updater->setCanCheckForUpdates(true);
    UpdateService service(updater, main.get_executor());
    EXPECT_TRUE(service.canCheckForUpdates()) << "the initial value is taken at once";
    EXPECT_FALSE(service.updateAvailable());

    int changes = 0;
    auto connection = service.changed().connect([&] { ++changes; });
    updater->setCanCheckForUpdates(false);
    EXPECT_TRUE(service.canCheckForUpdates()) << "changes arrive on the main executor";
    main.run();
    EXPECT_FALSE(service.canCheckForUpdates());
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(updater->startCount(), 0) << "construction does not start the updater";
}

TEST_F(UpdateServiceTest, FailingStartIsOnlyLogged) {
    updater->failStart("feed unreachable");
    UpdateService service(updater, main.get_executor());
    LogCapture log;
    EXPECT_NO_THROW(service.start());
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{
                  "⚠️  [UpdateService] Failed to start updater: feed unreachable"});
    EXPECT_FALSE(service.updateAvailable());
    EXPECT_FALSE(service.canCheckForUpdates());
}

TEST_F(UpdateServiceTest, UpdateFoundOnAnotherThreadIsPublishedOnMainOnce) {
    UpdateService service(updater, main.get_executor());
    int changes = 0;
    auto connection = service.changed().connect([&] { ++changes; });
    std::thread framework([&] {
        updater->reportUpdateFound();
        updater->reportUpdateFound();
    });
    framework.join();
    EXPECT_FALSE(service.updateAvailable());
    main.run();
    EXPECT_TRUE(service.updateAvailable());
    EXPECT_EQ(changes, 1) << "the flag only ever turns on";

    service.checkForUpdates();
    EXPECT_EQ(updater->checkCount(), 1);
}

TEST_F(UpdateServiceTest, ReportsAfterTheServiceIsGoneAreDropped) {
    {
        UpdateService service(updater, main.get_executor());
        updater->reportUpdateFound(); // queued on main, the service goes first
    }
    updater->reportUpdateFound(); // handler already cleared
    EXPECT_NO_FATAL_FAILURE(main.run());
}
