#pragma once
// A card window that records what the controller asks of it. Its "window" is a plain top-level
// widget holding the content, built on show() like the real one, so views can be checked and
// grabbed; a test decides whether the window counts as visible and plays the focus changes.

#include "windows/onboarding/onboarding_card.hpp"

#include <QWidget>
#include <memory>
#include <vector>

namespace pennial::testing {

struct FakeOnboardingCardRecord {
    OnboardingCardLayout layout;
    int showCount = 0;
    int buildCount = 0; // windows built (content builder calls)
    int hideCount = 0;
    std::vector<std::pair<QSize, bool>> resizes;
    bool visible = true; // what isVisible() reports while a window exists
    std::function<void()> onResignKey;
    std::function<void()> onBecomeKey;
    QWidget* content = nullptr; // the root view of the open window
    bool destroyed = false;
};

class FakeOnboardingCard final : public OnboardingCard {
public:
    FakeOnboardingCard(std::shared_ptr<FakeOnboardingCardRecord> record,
                       OnboardingContentBuilder builder)
        : record_(std::move(record)), builder_(std::move(builder)) {}
    ~FakeOnboardingCard() override {
        record_->destroyed = true;
        record_->content = nullptr;
    }

    void show() override {
        ++record_->showCount;
        if (window_)
            return;
        ++record_->buildCount;
        window_ = std::make_unique<QWidget>();
        window_->resize(record_->layout.size);
        record_->content = builder_().release();
        record_->content->setParent(window_.get());
        record_->content->setGeometry(window_->rect());
        window_->show();
    }
    void hide() override {
        ++record_->hideCount;
        window_.reset();
        record_->content = nullptr;
    }
    void resize(QSize size, bool animated) override {
        record_->resizes.emplace_back(size, animated);
        if (!window_)
            return;
        window_->resize(size);
        record_->content->setGeometry(window_->rect());
    }
    bool isVisible() const override { return window_ && record_->visible; }
    void setOnWindowDidResignKey(std::function<void()> callback) override {
        record_->onResignKey = std::move(callback);
    }
    void setOnWindowDidBecomeKey(std::function<void()> callback) override {
        record_->onBecomeKey = std::move(callback);
    }

private:
    std::shared_ptr<FakeOnboardingCardRecord> record_;
    OnboardingContentBuilder builder_;
    std::unique_ptr<QWidget> window_;
};

// Makes fake cards and keeps the record of each, oldest first.
struct FakeOnboardingCards {
    OnboardingCardFactory factory() {
        return [this](const OnboardingCardLayout& layout, OnboardingContentBuilder content) {
            auto record = std::make_shared<FakeOnboardingCardRecord>();
            record->layout = layout;
            made.push_back(record);
            return std::make_unique<FakeOnboardingCard>(record, std::move(content));
        };
    }
    std::shared_ptr<FakeOnboardingCardRecord> last() const {
        return made.empty() ? nullptr : made.back();
    }

    std::vector<std::shared_ptr<FakeOnboardingCardRecord>> made;
};

} // namespace pennial::testing
