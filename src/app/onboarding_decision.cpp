#include "app/onboarding_decision.hpp"

namespace pennial {

OnboardingInputs readOnboardingInputs(const UserDefaults& defaults, bool hasPermissions,
                                      bool isAuthenticated) {
    OnboardingInputs inputs;
    inputs.hasSeenWelcomeOnboarding =
        defaults.boolForKey(OnboardingFlags::hasSeenWelcomeOnboarding);
    inputs.hasPermissions = hasPermissions;
    inputs.hasSeenVideoIntro = defaults.boolForKey(OnboardingFlags::hasSeenVideoIntro);
    inputs.isAuthenticated = isAuthenticated;
    inputs.hasCompletedProfileOnboarding =
        defaults.boolForKey(OnboardingFlags::hasCompletedProfileOnboarding);
    inputs.hasCompletedPlaygroundOnboarding =
        defaults.boolForKey(OnboardingFlags::hasCompletedPlaygroundOnboarding);
    return inputs;
}

OnboardingDecision decideOnboarding(const OnboardingInputs& inputs) {
    // Trust is asked before sign-in: a signed-in user who lost it gets the permissions step again.
    if (!inputs.hasSeenWelcomeOnboarding)
        return {OnboardingStage::welcome};
    if (!inputs.hasPermissions)
        return {OnboardingStage::permissions};
    if (!inputs.hasSeenVideoIntro)
        return {OnboardingStage::videoIntro};
    if (!inputs.isAuthenticated)
        return {OnboardingStage::signIn, inputs.hasCompletedProfileOnboarding,
                SignInCoupling::couple};
    if (!inputs.hasCompletedProfileOnboarding)
        return {OnboardingStage::getToKnowYou, false, SignInCoupling::uncouple};
    if (!inputs.hasCompletedPlaygroundOnboarding)
        return {OnboardingStage::done, false, SignInCoupling::uncouple};
    return {std::nullopt, false, SignInCoupling::uncouple};
}

bool requiresOnboarding(const OnboardingInputs& inputs) {
    return !(inputs.isAuthenticated && inputs.hasSeenWelcomeOnboarding &&
             inputs.hasSeenVideoIntro && inputs.hasCompletedProfileOnboarding &&
             inputs.hasPermissions && inputs.hasCompletedPlaygroundOnboarding);
}

} // namespace pennial
