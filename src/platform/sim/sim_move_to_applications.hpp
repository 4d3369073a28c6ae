#pragma once
// Counts the start-up's move prompts, so tests can see that (and when) the step ran.

#include "platform/move_to_applications.hpp"

#include <functional>

namespace pennial {

class SimMoveToApplications final : public MoveToApplications {
public:
    void promptIfNeeded() override {
        ++prompts_;
        if (onPrompt)
            onPrompt();
    }
    int promptCount() const { return prompts_; }

    std::function<void()> onPrompt;

private:
    int prompts_ = 0;
};

} // namespace pennial
