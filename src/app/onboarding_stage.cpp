#include "app/onboarding_stage.hpp"

namespace pennial {

const char* onboardingStageName(OnboardingStage stage) {
    switch (stage) {
    case OnboardingStage::welcome:
        return "welcome";
    case OnboardingStage::permissions:
        return "permissions";
    case OnboardingStage::videoIntro:
        return "videoIntro";
    case OnboardingStage::signIn:
        return "signIn";
    case OnboardingStage::getToKnowYou:
        return "getToKnowYou";
    case OnboardingStage::done:
        return "done";
    }
    return "unknown";
}

} // namespace pennial
