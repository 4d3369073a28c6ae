#include "windows/onboarding/glass_onboarding_card.hpp"

#include "ui/cards/qt_glass_card_window_controller.hpp"

#include <QWidget>

namespace pennial {

namespace {

Size pointSize(QSize size) {
    return {static_cast<double>(size.width()), static_cast<double>(size.height())};
}

class GlassOnboardingCard final : public OnboardingCard {
public:
    GlassOnboardingCard(const OnboardingCardLayout& layout, OnboardingContentBuilder content,
                        CardWindowServices services)
        : card_(layout.id.toStdString(), pointSize(layout.size), layout.resizable,
                std::move(content), std::move(services)) {
        card_.setCanClose(layout.canClose);
        card_.setHideButtons(layout.hideButtons);
        card_.setOpaqueBackground(layout.opaqueBackground);
    }

    void show() override { card_.show(); }
    void hide() override { card_.hide(); }
    void resize(QSize size, bool animated) override { card_.resize(pointSize(size), animated); }
    bool isVisible() const override { return card_.isVisible(); }
    void setOnWindowDidResignKey(std::function<void()> callback) override {
        card_.setOnWindowDidResignKey(std::move(callback));
    }
    void setOnWindowDidBecomeKey(std::function<void()> callback) override {
        card_.setOnWindowDidBecomeKey(std::move(callback));
    }

private:
    QtGlassCardWindowController card_;
};

} // namespace

OnboardingCardFactory glassOnboardingCards(CardWindowServices services) {
    return [services = std::move(services)](const OnboardingCardLayout& layout,
                                            OnboardingContentBuilder content) {
        return std::make_unique<GlassOnboardingCard>(layout, std::move(content), services);
    };
}

} // namespace pennial
