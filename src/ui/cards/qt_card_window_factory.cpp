#include "ui/cards/qt_card_window_factory.hpp"

#include "ui/cards/qt_glass_card_window_controller.hpp"

#include <QWidget>

namespace pennial {

QtCardWindowFactory::QtCardWindowFactory(CardWindowServices services)
    : services_(std::move(services)) {}

void QtCardWindowFactory::setContentBuilder(CardWindowContent content, ContentBuilder builder) {
    if (builder)
        builders_[content] = std::move(builder);
    else
        builders_.erase(content);
}

std::unique_ptr<GlassCardWindowController>
QtCardWindowFactory::makeCardWindow(const CardWindowOptions& options, AppCoordinator& coordinator) {
    QtGlassCardWindowController::ContentBuilder content;
    if (auto found = builders_.find(options.content); found != builders_.end())
        content = [builder = found->second, &coordinator] { return builder(coordinator); };
    return std::make_unique<QtGlassCardWindowController>(
        options.id, options.size, options.resizable, std::move(content), services_);
}

} // namespace pennial
