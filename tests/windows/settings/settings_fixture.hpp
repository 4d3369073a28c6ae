#pragma once
// The coordinator as the settings window meets it: on a main io_context turned together with the
// Qt event loop, over the simulated desktop, the fake backend and a configuration file of its
// own, making its settings card with the real card window and this window's content.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "services/app_config.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/fake_backend.hpp"

#include <QImage>
#include <QString>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

class QWidget;

namespace pennial {
class SettingsView;
class SimDesktop;
class SimSecretStore;
} // namespace pennial

namespace pennial::testing {

// The object name of the plain widget standing in for the Commands tab.
inline constexpr const char* commandsStandIn = "CommandsStandIn";

class SettingsFixture : public ::testing::Test {
protected:
    SettingsFixture();
    ~SettingsFixture() override;

    // A stored session for email that the fake backend knows, which launch() restores; answers
    // the user's id.
    std::string storeSession(const std::string& email = "ada@example.test");
    void writeConfig(const AppConfig& config);
    void writeConfigText(const std::string& text);
    AppConfig readConfig() const;

    // Builds the coordinator and runs main until its start-up has ended.
    void launch();
    // Turns main and the Qt event loop until done() holds; false when the time ran out first.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
    void await(Awaitable<void> awaitable);

    // Opens the settings card on tab through the coordinator, as the menu does; the view in it.
    SettingsView* openSettings(int tab);
    // A settings view of its own, shown, on tab.
    std::unique_ptr<SettingsView> makeView(int tab);
    // The simulated desktop the coordinator and the card windows see.
    SimDesktop& desktop();

    asio::io_context main;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning;
    LogCapture log;
    FakeBackend backend;
    std::shared_ptr<FakeTextMonitor> textMonitor;
    std::shared_ptr<AppCoordinator> coordinator;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// Saves what the widget shows beside the test program (settings_screenshots/), for review.
QImage saveScreenshot(QWidget* widget, const QString& name);

} // namespace pennial::testing
