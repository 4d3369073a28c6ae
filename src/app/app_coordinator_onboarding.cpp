// Onboarding: the step the flags, trust and sign-in state call for, the callbacks of each step,
// and the hand-off between the window's code entry and the code panel at the notch.

#include "app/app_coordinator.hpp"
#include "base/error_text.hpp"
#include "base/log.hpp"
#include "services/auth_error.hpp"
#include "services/auth_service.hpp"
#include "services/config_service.hpp"
#include "services/supabase_store.hpp"

namespace pennial {
namespace {

using Weak = std::weak_ptr<AppCoordinator>;

// A step's callback on the coordinator, doing nothing once it is gone.
template <class Body> std::function<void()> whileAlive(Weak weak, Body body) {
    return [weak = std::move(weak), body = std::move(body)] {
        if (auto self = weak.lock())
            body(*self);
    };
}

Awaitable<void> disallowOwnProcess(std::shared_ptr<TextMonitorControl> textMonitor) {
    co_await textMonitor->updateAllowOwnProcessInputMonitoring(false);
}

Awaitable<void> showPanelLater(Weak weak, std::chrono::steady_clock::duration delay,
                               void (*show)(AppCoordinator&)) {
    co_await sleepFor(delay);
    if (auto self = weak.lock())
        show(*self);
}

// The sign-in calls of the window and the panel hold the coordinator weakly and answer noSession
// once it is gone. The auth call itself does not keep the coordinator alive.
Awaitable<SignInResult> requestCode(Weak weak, std::string email) {
    auto self = weak.lock();
    if (!self)
        co_return SignInResult::failure(std::make_exception_ptr(AuthError::noSession()));
    auto authService = self->authService();
    self.reset();
    std::exception_ptr failure;
    try {
        co_await authService->requestOTP(std::move(email));
    } catch (...) {
        failure = std::current_exception();
    }
    co_return failure ? SignInResult::failure(failure) : SignInResult::success();
}

} // namespace

// The steps' work that outlives one call: sign-in, what follows it, and the profile step.
struct OnboardingSignIn {
    static Awaitable<SignInResult> verify(Weak weak, std::string email, std::string code) {
        auto self = weak.lock();
        if (!self)
            co_return SignInResult::failure(std::make_exception_ptr(AuthError::noSession()));
        auto authService = self->authService();
        self.reset();
        std::optional<AuthSession> session;
        std::exception_ptr failure;
        try {
            session = co_await authService->verifyOTP(std::move(email), std::move(code));
        } catch (...) {
            failure = std::current_exception();
        }
        self = weak.lock();
        if (failure) {
            if (self && !isCancellation(failure))
                self->crashReporter_->captureError(failure);
            co_return SignInResult::failure(failure);
        }
        if (self) {
            self->publish([](CoordinatorState& state) {
                state.isAuthenticated = true;
                state.signInNotice.reset();
            });
            self->userEmail_ = session->userEmail;
        }
        co_return SignInResult::success();
    }

    static Awaitable<void> afterSignIn(std::shared_ptr<AppCoordinator> self) {
        co_await self->pullRemoteData();
        self->refreshOnboardingPresentation();
    }

    static Awaitable<void> saveProfile(std::shared_ptr<AppCoordinator> self,
                                       std::string displayNames, std::string writingContext) {
        std::function<void(AppConfig&)> change = [&](AppConfig& config) {
            config.userDisplayNames = displayNames;
            config.userWritingContext = writingContext;
        };
        self->noteLocalProfileEdit();
        std::exception_ptr failure;
        try {
            co_await self->configService_->update(change);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure)
            logf("⚠️ [Pennial] Failed to save profile locally: {}", describeError(failure));
        // The window moves on before the upload.
        self->setFlag(OnboardingFlags::hasCompletedProfileOnboarding);
        self->refreshOnboardingPresentation();
        if (!failure) {
            co_await self->pushLocalProfile();
            co_return;
        }
        // Not stored here: the cloud still gets what was typed.
        try {
            co_await self->supabaseStore_->pushProfile(displayNames, writingContext);
        } catch (...) {
            failure = std::current_exception();
            logf("⚠️ [Pennial] Failed to push profile to remote: {}", describeError(failure));
        }
    }
};

OnboardingInputs AppCoordinator::onboardingInputs() const {
    return readOnboardingInputs(*userDefaults_, hasPermissions(), isAuthenticated());
}

bool AppCoordinator::requiresOnboarding() const {
    return pennial::requiresOnboarding(onboardingInputs());
}

void AppCoordinator::refreshOnboardingPresentation() {
    auto decision = decideOnboarding(onboardingInputs());
    if (decision.coupling == SignInCoupling::uncouple)
        uncoupleSignInFromNotchPanel();
    if (decision.isFinished()) {
        finishOnboarding();
        return;
    }
    showOnboardingStep(*decision.stage, decision.isReturningUser);
    if (decision.coupling == SignInCoupling::couple)
        coupleSignInWithNotchPanel();
}

void AppCoordinator::disallowOwnProcessInputMonitoring() {
    startTask(disallowOwnProcess(textMonitor_));
}

void AppCoordinator::showOnboardingStep(OnboardingStage stage, bool isReturningUser) {
    disallowOwnProcessInputMonitoring();
    if (settingsWindow_) {
        settingsWindow_->hide();
        settingsWindow_.reset();
    }
    if (aboutWindow_) {
        aboutWindow_->hide();
        aboutWindow_.reset();
    }
    onboardingWindow_->show(*this, stage, isReturningUser, callbacksFor(stage));
}

OnboardingCallbacks AppCoordinator::callbacksFor(OnboardingStage stage) {
    Weak weak = weak_from_this();
    auto requestPermissions = whileAlive(
        weak, [](AppCoordinator& self) { self.launch(&AppCoordinator::requestPermissions); });

    OnboardingCallbacks callbacks;
    switch (stage) {
    case OnboardingStage::welcome:
        callbacks.onRequestPermissions = requestPermissions;
        callbacks.onCompleteWelcome = whileAlive(weak, [](AppCoordinator& self) {
            self.setFlag(OnboardingFlags::hasSeenWelcomeOnboarding);
            self.refreshOnboardingPresentation();
        });
        break;
    case OnboardingStage::permissions:
        callbacks.onRequestPermissions = requestPermissions;
        // No flag: the step goes away once trust is there.
        callbacks.onCompletePermissions =
            whileAlive(weak, [](AppCoordinator& self) { self.refreshOnboardingPresentation(); });
        break;
    case OnboardingStage::videoIntro:
        callbacks.onCompleteVideoIntro = whileAlive(weak, [](AppCoordinator& self) {
            self.setFlag(OnboardingFlags::hasSeenVideoIntro);
            self.refreshOnboardingPresentation();
        });
        break;
    case OnboardingStage::signIn:
        callbacks.onRequestOTP = [weak](std::string email) {
            return requestCode(weak, std::move(email));
        };
        callbacks.onVerifyOTP = verifyCodeHandler();
        callbacks.onSignInComplete = signInCompleteHandler();
        break;
    case OnboardingStage::getToKnowYou:
        callbacks.onSaveProfile = [weak](std::string displayNames, std::string writingContext) {
            if (auto self = weak.lock())
                self->startTask(OnboardingSignIn::saveProfile(self, std::move(displayNames),
                                                              std::move(writingContext)));
        };
        callbacks.onSkipProfile = whileAlive(weak, [](AppCoordinator& self) {
            self.setFlag(OnboardingFlags::hasCompletedProfileOnboarding);
            self.refreshOnboardingPresentation();
        });
        break;
    case OnboardingStage::done:
        callbacks.onCompletePlayground = whileAlive(weak, [](AppCoordinator& self) {
            self.setHasCompletedPlaygroundOnboarding(true);
            self.refreshOnboardingPresentation();
            self.showSettings(1);
        });
        break;
    }
    return callbacks;
}

VerifyCodeHandler AppCoordinator::verifyCodeHandler() {
    Weak weak = weak_from_this();
    return [weak](std::string email, std::string code) {
        return OnboardingSignIn::verify(weak, std::move(email), std::move(code));
    };
}

std::function<void()> AppCoordinator::signInCompleteHandler() {
    return whileAlive(weak_from_this(), [](AppCoordinator& self) {
        self.notchPasscodePanel_->hide();
        self.startTask(OnboardingSignIn::afterSignIn(self.shared_from_this()));
    });
}

void AppCoordinator::coupleSignInWithNotchPanel() {
    Weak weak = weak_from_this();
    auto delay = timings_.notchPanelDelay;
    // After the window's own focus change has been handled.
    onboardingWindow_->setOnWindowDidResignKey(
        whileAlive(weak, [weak, delay](AppCoordinator& self) {
            self.startTask(showPanelLater(weak, delay, [](AppCoordinator& coordinator) {
                coordinator.showNotchPasscodePanelIfNeeded();
            }));
        }));
    onboardingWindow_->setOnWindowDidBecomeKey(
        whileAlive(weak, [](AppCoordinator& self) { self.notchPasscodePanel_->hide(); }));
    // Codes typed in either place show in the other; each side ignores an unchanged code.
    onboardingWindow_->setOnCodeChanged([weak](const std::string& code) {
        if (auto self = weak.lock())
            self->notchPasscodePanel_->setCode(code);
    });
    notchPasscodePanel_->setOnCodeChanged([weak](const std::string& code) {
        if (auto self = weak.lock())
            self->onboardingWindow_->setSignInCode(code);
    });
}

void AppCoordinator::uncoupleSignInFromNotchPanel() {
    // The panel's own code callback stays: it only writes into the window.
    onboardingWindow_->setOnWindowDidResignKey({});
    onboardingWindow_->setOnWindowDidBecomeKey({});
    onboardingWindow_->setOnCodeChanged({});
    notchPasscodePanel_->hide();
}

void AppCoordinator::showNotchPasscodePanelIfNeeded() {
    // Only when the user switched away at the code step and the window is covered.
    if (!onboardingWindow_->isAtEnterCodeStep() || onboardingWindow_->isWindowVisible())
        return;
    notchPasscodePanel_->show(onboardingWindow_->signInEmail(), verifyCodeHandler(),
                              signInCompleteHandler(), screens_->mainScreen());
    // The panel forgot its code when it last went; it carries on from what the window holds, so
    // that a digit typed there adds to that code instead of replacing it.
    notchPasscodePanel_->setCode(onboardingWindow_->signInCode());
}

void AppCoordinator::finishOnboarding() {
    disallowOwnProcessInputMonitoring();
    onboardingWindow_->hide();
    windowFocus_->restoreAccessoryIfNoUserWindows();
    if (hasPermissions() && !isMonitoring())
        launch(&AppCoordinator::startMonitoring);
}

void AppCoordinator::setFlag(const char* key) {
    userDefaults_->setBool(key, true);
}

void AppCoordinator::setHasCompletedPlaygroundOnboarding(bool value) {
    userDefaults_->setBool(OnboardingFlags::hasCompletedPlaygroundOnboarding, value);
    // Observers read requiresOnboarding when told, so they are told after the store.
    changed_.notify();
}

} // namespace pennial
