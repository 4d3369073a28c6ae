#include "settings_fixture.hpp"

#include "platform/sim/sim_desktop.hpp"
#include "platform/sim/sim_secret_store.hpp"
#include "platform/sim/sim_user_defaults.hpp"
#include "services/auth_session.hpp"
#include "services/file_config_storage.hpp"
#include "support/sim_coordinator_dependencies.hpp"
#include "ui/cards/cards_test_support.hpp"
#include "ui/cards/own_window_registry.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "ui/cards/qt_window_focus.hpp"
#include "windows/settings/settings_content.hpp"
#include "windows/settings/settings_view.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <asio/co_spawn.hpp>
#include <fstream>

namespace pennial::testing {

namespace {

std::unique_ptr<QWidget> makeCommandsStandIn(AppCoordinator&) {
    auto widget = std::make_unique<QWidget>();
    widget->setObjectName(QString::fromLatin1(commandsStandIn));
    return widget;
}

} // namespace

struct SettingsFixture::Parts {
    QTemporaryDir folder;
    SimDesktop desktop;
    std::shared_ptr<SimSecretStore> secrets = std::make_shared<SimSecretStore>();
    std::shared_ptr<ListedOwnWindows> ownWindows = std::make_shared<ListedOwnWindows>();
    std::shared_ptr<QtWindowFocus> focus = std::make_shared<QtWindowFocus>(ownWindows);
    std::shared_ptr<QtCardWindowFactory> cards;

    std::filesystem::path configFile() const {
        return QDir(folder.path()).filePath(QStringLiteral("config.json")).toStdString();
    }
};

SettingsFixture::SettingsFixture()
    : keepRunning(main.get_executor()), parts_(std::make_unique<Parts>()) {
    parts_->desktop.setTrusted(true);
    parts_->cards = std::make_shared<QtCardWindowFactory>(
        CardWindowServices{parts_->desktop.screens(), parts_->focus, parts_->ownWindows, nullptr});
    parts_->cards->setContentBuilder(CardWindowContent::settings,
                                     settingsContent(main.get_executor(), makeCommandsStandIn));
}

SettingsFixture::~SettingsFixture() {
    // The coordinator closes the settings card it keeps.
    coordinator.reset();
    // Let what outlives the coordinator see it gone and end.
    runUntil([] { return false; }, std::chrono::milliseconds(5));
}

std::string SettingsFixture::storeSession(const std::string& email) {
    auto issued = backend.issueSession(email);
    AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                        std::chrono::system_clock::now() + std::chrono::hours(1), issued.email};
    parts_->secrets->putItem("com.pennial.Pennial.auth", "session", session.toJson());
    return issued.userId;
}

void SettingsFixture::writeConfig(const AppConfig& config) {
    FileConfigStorage(parts_->configFile()).saveNow(config);
}

void SettingsFixture::writeConfigText(const std::string& text) {
    std::ofstream(parts_->configFile()) << text;
}

AppConfig SettingsFixture::readConfig() const {
    return FileConfigStorage(parts_->configFile()).loadNow();
}

void SettingsFixture::launch() {
    auto defaults = std::make_shared<SimUserDefaults>();
    for (const char* key : {"hasSeenWelcomeOnboarding", "hasSeenVideoIntro",
                            "hasCompletedProfileOnboarding", "hasCompletedPlaygroundOnboarding"})
        defaults->setBool(key, true);
    auto dependencies =
        simCoordinatorDependencies(parts_->desktop, main.get_executor(), parts_->configFile());
    dependencies.secretStore = parts_->secrets;
    dependencies.userDefaults = defaults;
    dependencies.cardWindows = parts_->cards;
    dependencies.windowFocus = parts_->focus;
    dependencies.clipboard = parts_->desktop.clipboard();
    dependencies.keyboardSynthesizer = parts_->desktop.keyboardSynthesizer();
    dependencies.makeTextMonitor = [this](std::shared_ptr<AccessibilityMonitor>,
                                          std::string pattern) {
        textMonitor = std::make_shared<FakeTextMonitor>(std::move(pattern));
        return textMonitor;
    };
    dependencies.endpoints = {backend.baseURL(), backend.baseURL(), "test-publishable-key"};
    coordinator = AppCoordinator::create(std::move(dependencies));
    ASSERT_TRUE(runUntil([&] { return !coordinator->isStarting(); }));
}

bool SettingsFixture::runUntil(const std::function<bool()>& done,
                               std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        main.poll();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

void SettingsFixture::await(Awaitable<void> awaitable) {
    bool done = false;
    asio::co_spawn(main, std::move(awaitable), [&](std::exception_ptr) { done = true; });
    EXPECT_TRUE(runUntil([&] { return done; }));
}

SettingsView* SettingsFixture::openSettings(int tab) {
    coordinator->showSettings(tab);
    SettingsView* found = nullptr;
    runUntil([&] {
        // By type: the view has no meta-object of its own for Qt's look-ups.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible())
                for (QWidget* child : window->findChildren<QWidget*>())
                    if (auto* view = dynamic_cast<SettingsView*>(child))
                        found = view;
        return found != nullptr;
    });
    return found;
}

std::unique_ptr<SettingsView> SettingsFixture::makeView(int tab) {
    auto view =
        std::make_unique<SettingsView>(*coordinator, main.get_executor(), tab, makeCommandsStandIn);
    view->resize(720, 600);
    view->show();
    return view;
}

SimDesktop& SettingsFixture::desktop() {
    return parts_->desktop;
}

QImage saveScreenshot(QWidget* widget, const QString& name) {
    const QDir dir(QCoreApplication::applicationDirPath() +
                   QStringLiteral("/settings_screenshots"));
    dir.mkpath(QStringLiteral("."));
    QImage image = widget->grab().toImage();
    image.save(dir.filePath(name + QStringLiteral(".png")));
    return image;
}

} // namespace pennial::testing
