#pragma once
// The onboarding card on the application's real card window.

#include "ui/cards/card_window_services.hpp"
#include "windows/onboarding/onboarding_card.hpp"

namespace pennial {

OnboardingCardFactory glassOnboardingCards(CardWindowServices services);

} // namespace pennial
