#pragma once
// A coordinator for the window to hand on to its screens: built over the simulated desktop and
// recording fakes, on a main executor that runs only when a test runs it (runUntil), with its
// permission waits shortened.

#include "app/app_coordinator.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "support/scripted_http_client.hpp"
#include "support/sim_coordinator_dependencies.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <asio/io_context.hpp>
#include <chrono>
#include <functional>

namespace pennial::testing {

class TestCoordinator {
public:
    TestCoordinator() {
        auto dependencies =
            simCoordinatorDependencies(desktop_, main_.get_executor(), configFile());
        dependencies.httpClient = std::make_shared<ScriptedHttpClient>();
        dependencies.authHttpClient = std::make_shared<ScriptedHttpClient>();
        dependencies.timings.permissionPollInterval = std::chrono::milliseconds(20);
        dependencies.timings.permissionRequestSettle = std::chrono::milliseconds(5);
        coordinator_ = AppCoordinator::create(std::move(dependencies));
    }

    AppCoordinator& operator*() const { return *coordinator_; }
    AppCoordinator* operator->() const { return coordinator_.get(); }
    SimDesktop& desktop() { return desktop_; }
    std::string configFile() const {
        return QDir(folder_.path()).filePath(QStringLiteral("config.json")).toStdString();
    }

    // Runs the main executor, and the Qt events with it, until `done` holds or two seconds pass.
    bool runUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main_.restart();
            main_.run_for(std::chrono::milliseconds(2));
            QCoreApplication::processEvents();
        }
        return true;
    }

private:
    asio::io_context main_;
    QTemporaryDir folder_;
    SimDesktop desktop_;
    std::shared_ptr<AppCoordinator> coordinator_;
};

} // namespace pennial::testing
