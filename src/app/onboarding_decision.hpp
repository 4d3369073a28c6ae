#pragma once
// Which onboarding step to show, decided afresh from the progress flags, accessibility trust and
// the sign-in state every time one of them may have changed. No state of its own.

#include "app/onboarding_stage.hpp"
#include "platform/user_defaults.hpp"

#include <optional>

namespace pennial {

// The user-defaults keys of the progress flags: only ever set to true, never reset.
namespace OnboardingFlags {
inline constexpr const char* hasSeenWelcomeOnboarding = "hasSeenWelcomeOnboarding";
inline constexpr const char* hasCompletedProfileOnboarding = "hasCompletedProfileOnboarding";
inline constexpr const char* hasSeenVideoIntro = "hasSeenVideoIntro";
inline constexpr const char* hasCompletedPlaygroundOnboarding = "hasCompletedPlaygroundOnboarding";
inline constexpr const char* hasDismissedMoveToApplications = "hasDismissedMoveToApplications";
} // namespace OnboardingFlags

struct OnboardingInputs {
    bool hasSeenWelcomeOnboarding = false;
    bool hasPermissions = false;
    bool hasSeenVideoIntro = false;
    bool isAuthenticated = false;
    bool hasCompletedProfileOnboarding = false;
    bool hasCompletedPlaygroundOnboarding = false;
};

// The four flags from the user defaults, the other two as given.
OnboardingInputs readOnboardingInputs(const UserDefaults& defaults, bool hasPermissions,
                                      bool isAuthenticated);

// What the window's sign-in form shares with the code panel at the notch.
enum class SignInCoupling {
    unchanged, // signed out, before the sign-in step: neither set up nor torn down
    couple,    // the sign-in step: mirror codes, show the panel when the window is covered
    uncouple,  // signed in: clear the window's coupling callbacks and hide the panel
};

struct OnboardingDecision {
    std::optional<OnboardingStage> stage; // none: onboarding is finished
    bool isReturningUser = false;         // only ever true for signIn
    SignInCoupling coupling = SignInCoupling::unchanged;

    bool isFinished() const { return !stage; }
    bool operator==(const OnboardingDecision&) const = default;
};

OnboardingDecision decideOnboarding(const OnboardingInputs& inputs);

// False only when the user is signed in, trusted and has been through every step; the menu hides
// its settings and sign-out entries until then.
bool requiresOnboarding(const OnboardingInputs& inputs);

} // namespace pennial
