#include "windows/onboarding/onboarding_playground_model.hpp"

namespace pennial {

void OnboardingPlaygroundModel::setCommands(std::vector<Command> commands) {
    commands_ = std::move(commands);
    Q_EMIT changed();
}

void OnboardingPlaygroundModel::setSelectedCommandID(std::optional<Uuid> id) {
    selectedCommandID_ = id;
    Q_EMIT changed();
}

void OnboardingPlaygroundModel::setPlaygroundInput(std::string input) {
    playgroundInput_ = std::move(input);
    Q_EMIT changed();
}

void OnboardingPlaygroundModel::setTriggerPattern(std::string pattern) {
    triggerPattern_ = std::move(pattern);
    Q_EMIT changed();
}

void OnboardingPlaygroundModel::addError(std::string text) {
    messages_.push_back({Uuid::random(), std::move(text), "Pennial", false, true, true,
                         std::chrono::system_clock::now()});
    Q_EMIT changed();
}

} // namespace pennial
