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
    GlassOnboardingCard(const OnboardingCardSpec& spec, OnboardingContentBuilder content,
                        CardWindowServices services)
        : card_(spec.id.toStdString(), pointSize(spec.size), spec.resizable, std::move(content),
                std::move(services)) {
        card_.setCanClose(spec.canClose);
        card_.setHideButtons(spec.hideButtons);
        card_.setOpaqueBackground(spec.opaqueBackground);
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
    return [services = std::move(services)](const OnboardingCardSpec& spec,
                                            OnboardingContentBuilder content) {
        return std::make_unique<GlassOnboardingCard>(spec, std::move(content), services);
    };
}

} // namespace pennial
