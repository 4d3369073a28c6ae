// The profile screen in its window: typing into the model, "Next" and "I'll do this later"
// handing the texts over untouched, the fill-in from the stored configuration that never
// overwrites a text, and screenshots for review (onboarding_screenshots/).

#include "base/task.hpp"
#include "fake_onboarding_card.hpp"
#include "onboarding_ui_support.hpp"
#include "services/config_service.hpp"
#include "test_coordinator.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "ui/design/pn_text_area.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/onboarding_window_view.hpp"
#include "windows/onboarding/profile_screen.hpp"
#include "windows/onboarding/qt_onboarding_window_controller.hpp"

#include <QAbstractButton>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <gtest/gtest.h>

namespace pennial {
namespace {

using testing::click;

// Types the text key by key, as the keyboard delivers it.
void typeInto(QWidget* widget, const QString& text) {
    for (const QChar character : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QCoreApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
        QCoreApplication::sendEvent(widget, &release);
    }
}

void clearByKeyboard(QLineEdit* field) {
    field->selectAll();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(field, &press);
}

class ProfileScreenTest : public ::testing::Test {
protected:
    ProfileScreen* showProfile() {
        OnboardingCallbacks callbacks;
        callbacks.onSaveProfile = [this](std::string displayNames, std::string writingContext) {
            saved.emplace_back(std::move(displayNames), std::move(writingContext));
        };
        callbacks.onSkipProfile = [this] { ++skips; };
        controller.show(*coordinator, OnboardingStage::getToKnowYou, true, std::move(callbacks));
        view = dynamic_cast<OnboardingWindowView*>(cards.last()->content);
        return view ? dynamic_cast<ProfileScreen*>(view->currentScreen()) : nullptr;
    }

    // Stores a configuration with these profile texts.
    void storeProfile(std::string displayNames, std::string writingContext) {
        AppConfig config;
        config.userDisplayNames = std::move(displayNames);
        config.userWritingContext = std::move(writingContext);
        bool stored = false;
        auto save = [](std::shared_ptr<ConfigService> service,
                       AppConfig config) -> Awaitable<void> {
            co_await service->saveConfiguration(std::move(config));
        };
        Task::spawn(coordinator->mainExecutor(), save(coordinator->configService(), config),
                    [&](std::exception_ptr error) { stored = !error; });
        ASSERT_TRUE(coordinator.runUntil([&] { return stored; }));
    }

    // Lets a fill-in that was started finish.
    void settle() {
        int turns = 0;
        coordinator.runUntil([&] { return ++turns > 20; });
    }

    OnboardingModel& model() { return controller.model(); }

    testing::TestCoordinator coordinator;
    testing::FakeOnboardingCards cards;
    QtOnboardingWindowController controller{cards.factory()};
    OnboardingWindowView* view = nullptr;
    std::vector<std::pair<std::string, std::string>> saved;
    int skips = 0;
};

TEST_F(ProfileScreenTest, NextHandsOverTheTextsExactlyAsTypedAndSkipSavesNothing) {
    auto* screen = showProfile();
    ASSERT_NE(screen, nullptr);
    auto* bar = screen->bottomBar();
    EXPECT_EQ(bar->stepIndicator()->currentStep(), 5);
    ASSERT_NE(bar->skipLink(), nullptr);
    EXPECT_EQ(bar->skipLink()->text(), QStringLiteral("I'll do this later"));

    // Both empty: still enabled, and two empty texts are handed over.
    EXPECT_TRUE(bar->primaryButton()->isEnabled());
    click(bar->primaryButton());
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0], std::make_pair(std::string(), std::string()));

    typeInto(screen->displayNamesField()->lineEdit(), QStringLiteral(" Sam,Sammy , "));
    typeInto(screen->writingContextArea()->editor(), QStringLiteral("Plain words."));
    EXPECT_EQ(model().displayNames(), " Sam,Sammy , ");
    EXPECT_EQ(model().writingContext(), "Plain words.");
    click(bar->primaryButton());
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1], std::make_pair(std::string(" Sam,Sammy , "), std::string("Plain words.")));
    EXPECT_EQ(controller.model().stage(), OnboardingStage::getToKnowYou)
        << "the core moves on, not the screen";

    click(bar->skipLink());
    EXPECT_EQ(skips, 1);
    EXPECT_EQ(saved.size(), 2u);
    settle();
}

TEST_F(ProfileScreenTest, TheStoredProfileFillsOnlyTheEmptyFieldsAndOnlyOnce) {
    storeProfile("Robin, Rob", "Short sentences.");
    model().setWritingContext("Typed before.");
    auto* screen = showProfile();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->writingContextArea()->text(), QStringLiteral("Typed before."))
        << "the model's text is shown at once";
    ASSERT_TRUE(coordinator.runUntil([&] { return !model().displayNames().empty(); }));
    EXPECT_EQ(model().displayNames(), "Robin, Rob");
    EXPECT_EQ(screen->displayNamesField()->text(), QStringLiteral("Robin, Rob"));
    EXPECT_EQ(model().writingContext(), "Typed before.");

    // Cleared by the user while the screen stays: not filled again.
    clearByKeyboard(screen->displayNamesField()->lineEdit());
    EXPECT_EQ(model().displayNames(), "");
    settle();
    EXPECT_EQ(model().displayNames(), "");
    EXPECT_EQ(screen->displayNamesField()->text(), QString());

    // The texts live in the model: a new screen shows them.
    typeInto(screen->displayNamesField()->lineEdit(), QStringLiteral("Bobbie"));
    controller.show(*coordinator, OnboardingStage::done, false, {});
    auto* again = showProfile();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->displayNamesField()->text(), QStringLiteral("Bobbie"));
    settle();
    EXPECT_EQ(model().displayNames(), "Bobbie");
}

TEST_F(ProfileScreenTest, AnUnreadableConfigurationLeavesTheFieldsAsTheyAre) {
    QFile file(QString::fromStdString(coordinator.configFile()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    auto* screen = showProfile();
    ASSERT_NE(screen, nullptr);
    settle();
    EXPECT_EQ(model().displayNames(), "");
    EXPECT_EQ(model().writingContext(), "");
    EXPECT_EQ(screen->displayNamesField()->text(), QString());
}

TEST_F(ProfileScreenTest, ALoadEndingAfterTheScreenLeftStillFillsTheModel) {
    storeProfile("Robin", "Notes.");
    ASSERT_NE(showProfile(), nullptr);
    // The stage changes before the load has had a turn.
    controller.show(*coordinator, OnboardingStage::done, false, {});
    testing::runDeferredDeletes();
    ASSERT_TRUE(coordinator.runUntil([&] { return !model().displayNames().empty(); }));
    EXPECT_EQ(model().writingContext(), "Notes.");
}

TEST_F(ProfileScreenTest, Screenshots) {
    storeProfile("Robin, Rob", "Short sentences, no exclamation marks.");
    auto* screen = showProfile();
    ASSERT_NE(screen, nullptr);
    testing::saveScreenshot(view, QStringLiteral("profile_empty"));
    ASSERT_TRUE(coordinator.runUntil([&] { return !model().displayNames().empty(); }));
    testing::saveScreenshot(view, QStringLiteral("profile_filled"));
}

} // namespace
} // namespace pennial
