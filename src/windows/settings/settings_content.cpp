#include "windows/settings/settings_content.hpp"

#include "app/app_coordinator.hpp"

namespace pennial {

QtCardWindowFactory::ContentBuilder settingsContent(Executor main,
                                                    SettingsView::TabBuilder makeCommandsTab) {
    return [main = std::move(main), makeCommandsTab = std::move(makeCommandsTab)](
               AppCoordinator& coordinator) -> std::unique_ptr<QWidget> {
        return std::make_unique<SettingsView>(coordinator, main, coordinator.initialSettingsTab(),
                                              makeCommandsTab);
    };
}

} // namespace pennial
