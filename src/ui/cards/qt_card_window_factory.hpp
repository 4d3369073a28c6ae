#pragma once
// Makes the settings and about cards for the core. The views inside come from builders the
// composition hands over, one per kind of content; a kind without a builder shows an empty card.

#include "app/glass_card_window_controller.hpp"
#include "ui/cards/card_window_services.hpp"

#include <functional>
#include <map>
#include <memory>

class QWidget;

namespace pennial {

class QtCardWindowFactory final : public CardWindowFactory {
public:
    // Builds the root view each time a window is built; the coordinator is what it observes.
    using ContentBuilder = std::function<std::unique_ptr<QWidget>(AppCoordinator&)>;

    explicit QtCardWindowFactory(CardWindowServices services);

    // Replaces the builder for this kind; empty to remove it. Cards made afterwards use it.
    void setContentBuilder(CardWindowContent content, ContentBuilder builder);

    std::unique_ptr<GlassCardWindowController> makeCardWindow(const CardWindowOptions& options,
                                                              AppCoordinator& coordinator) override;

private:
    CardWindowServices services_;
    std::map<CardWindowContent, ContentBuilder> builders_;
};

} // namespace pennial
