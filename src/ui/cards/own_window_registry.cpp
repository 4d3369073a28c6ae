#include "ui/cards/own_window_registry.hpp"

#include "platform/linux/x11/x11_workspace.hpp"

namespace pennial {

X11OwnWindowRegistry::X11OwnWindowRegistry(std::shared_ptr<X11Workspace> workspace)
    : workspace_(std::move(workspace)) {}

void X11OwnWindowRegistry::addOwnWindow(std::string identifier, QWidget* window) {
    workspace_->addOwnWindow(std::move(identifier), window);
}

std::vector<OwnWindow> X11OwnWindowRegistry::ownWindows() {
    return workspace_->ownWindows();
}

} // namespace pennial
