#pragma once
// The settings card's content for the card window factory: a SettingsView on the coordinator's
// chosen tab, with the Commands tab's view from the given builder.

#include "base/runtime.hpp"
#include "ui/cards/qt_card_window_factory.hpp"
#include "windows/settings/settings_view.hpp"

namespace pennial {

QtCardWindowFactory::ContentBuilder settingsContent(Executor main,
                                                    SettingsView::TabBuilder makeCommandsTab);

} // namespace pennial
