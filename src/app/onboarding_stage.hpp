#pragma once
// The onboarding window's steps that the core shows, in the order a new user meets them.

namespace pennial {

enum class OnboardingStage { welcome, permissions, videoIntro, signIn, getToKnowYou, done };

const char* onboardingStageName(OnboardingStage stage);

} // namespace pennial
