#pragma once
// Recording stand-ins for the settings and about cards and the factory that makes them. Every
// controller made stays reachable, so a test can see which were replaced and which were closed.

#include "app/glass_card_window_controller.hpp"

#include <memory>
#include <vector>

namespace pennial::testing {

struct FakeCardWindowState {
    CardWindowOptions options;
    bool showTitlebarLogo = false;
    bool open = false;
    int showCount = 0;
    int hideCount = 0;
    bool destroyed = false;
};

class FakeCardWindow final : public GlassCardWindowController {
public:
    explicit FakeCardWindow(std::shared_ptr<FakeCardWindowState> state)
        : state_(std::move(state)) {}
    ~FakeCardWindow() override { state_->destroyed = true; }

    void show() override {
        state_->open = true;
        ++state_->showCount;
    }
    void hide() override {
        state_->open = false;
        ++state_->hideCount;
    }
    void setShowTitlebarLogo(bool show) override { state_->showTitlebarLogo = show; }

private:
    std::shared_ptr<FakeCardWindowState> state_;
};

class FakeCardWindowFactory final : public CardWindowFactory {
public:
    std::unique_ptr<GlassCardWindowController> makeCardWindow(const CardWindowOptions& options,
                                                              AppCoordinator&) override {
        auto state = std::make_shared<FakeCardWindowState>();
        state->options = options;
        made.push_back(state);
        return std::make_unique<FakeCardWindow>(state);
    }

    // The cards made with this identifier, oldest first.
    std::vector<std::shared_ptr<FakeCardWindowState>> withId(const std::string& id) const {
        std::vector<std::shared_ptr<FakeCardWindowState>> found;
        for (const auto& state : made)
            if (state->options.id == id)
                found.push_back(state);
        return found;
    }

    std::vector<std::shared_ptr<FakeCardWindowState>> made;
};

} // namespace pennial::testing
