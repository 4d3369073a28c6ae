#pragma once
// A signed-in coordinator on an io_context main thread, over the simulated desktop and the fake
// backend, for the Commands tab to load, save and push through; both loops (the coordinator's and
// Qt's) are turned together while a test waits.

#include "app/app_coordinator.hpp"
#include "base/log.hpp"
#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/app_config.hpp"
#include "services/auth_session.hpp"
#include "services/file_config_storage.hpp"
#include "support/app_fake_text_monitor.hpp"
#include "support/fake_backend.hpp"
#include "support/sim_coordinator_dependencies.hpp"
#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_fonts.hpp"
#include "ui_support/qt_input.hpp"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <asio/executor_work_guard.hpp>
#include <asio/io_context.hpp>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace pennial::testing {

// One QApplication for the program, made when the first fixture needs it unless the program
// made its own; destroyed as the program's tests end.
void ensureApplication();

// Saves what the widget shows beside the test program (settings_screenshots/), for review.
inline void saveTabScreenshot(QWidget* widget, const QString& name) {
    const QDir dir(QCoreApplication::applicationDirPath() +
                   QStringLiteral("/settings_screenshots"));
    dir.mkpath(QStringLiteral("."));
    widget->grab().save(dir.filePath(name + QStringLiteral(".png")));
}

// A dark surface with the card window's palette, 720 x 540, to host a tab.
inline std::unique_ptr<QWidget> makeCardSurface() {
    auto surface = std::make_unique<QWidget>();
    QPalette palette = surface->palette();
    palette.setColor(QPalette::Window, Qt::black);
    palette.setColor(QPalette::WindowText, PNColor::textPrimary());
    palette.setColor(QPalette::Base, QColor(28, 28, 30));
    palette.setColor(QPalette::Text, PNColor::textPrimary());
    palette.setColor(QPalette::Button, QColor(44, 44, 46));
    palette.setColor(QPalette::ButtonText, PNColor::textPrimary());
    palette.setColor(QPalette::PlaceholderText, PNColor::textTertiary());
    surface->setPalette(palette);
    surface->setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(surface.get());
    layout->setContentsMargins(0, 0, 0, 0);
    surface->resize(720, 540);
    return surface;
}

class CommandsTabFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    CommandsTabFixture() : keepRunning(main.get_executor()) {
        configFile = std::filesystem::path(folder.path().toStdString()) / "config.json";
    }

    ~CommandsTabFixture() override {
        coordinator.reset();
        pumpFor(std::chrono::milliseconds(5));
    }

    // A stored session the fake backend knows; sets userId.
    void storeSession() {
        auto issued = backend.issueSession("ada@example.test");
        userId = issued.userId;
        AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                            std::chrono::system_clock::now() + std::chrono::hours(1), issued.email};
        secrets->putItem("com.pennial.Pennial.auth", "session", session.toJson());
    }

    // Signed in, trusted and through onboarding; main runs until start-up (and its pull) ended.
    void launchSignedIn() {
        if (userId.empty())
            storeSession();
        startCoordinator();
    }

    // Through onboarding and trusted: a stored session is restored and pulled at start-up.
    void startCoordinator() {
        for (const char* key :
             {"hasSeenWelcomeOnboarding", "hasSeenVideoIntro", "hasCompletedProfileOnboarding",
              "hasCompletedPlaygroundOnboarding"})
            defaults->setBool(key, true);
        desktop.setTrusted(true);

        auto dependencies = simCoordinatorDependencies(desktop, main.get_executor(), configFile);
        dependencies.secretStore = secrets;
        dependencies.userDefaults = defaults;
        dependencies.makeTextMonitor = [this](std::shared_ptr<AccessibilityMonitor>,
                                              std::string pattern) {
            textMonitor = std::make_shared<FakeTextMonitor>(std::move(pattern));
            return textMonitor;
        };
        dependencies.endpoints = {backend.baseURL(), backend.baseURL(), "test-publishable-key"};
        coordinator = AppCoordinator::create(std::move(dependencies));
        ASSERT_TRUE(pumpUntil([&] { return !coordinator->isStarting(); }));
    }

    void writeConfig(const AppConfig& config) { FileConfigStorage(configFile).saveNow(config); }
    AppConfig readConfig() const { return FileConfigStorage(configFile).loadNow(); }

    // Turns both loops until done() holds; false when the time ran out first.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            main.run_one_for(std::chrono::milliseconds(1));
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        return true;
    }
    void pumpFor(std::chrono::milliseconds duration) {
        auto deadline = std::chrono::steady_clock::now() + duration;
        pumpUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, duration * 2);
    }

    asio::io_context main;
    asio::executor_work_guard<asio::io_context::executor_type> keepRunning;
    QTemporaryDir folder;
    std::filesystem::path configFile;
    LogCapture log;
    SimDesktop desktop;
    FakeBackend backend;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<SimUserDefaults> defaults = std::make_shared<SimUserDefaults>();
    std::shared_ptr<FakeTextMonitor> textMonitor;
    std::shared_ptr<AppCoordinator> coordinator;
    std::string userId;
};

} // namespace pennial::testing
