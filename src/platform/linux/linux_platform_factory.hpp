#pragma once
// The desktop facilities of a Linux (X11) session, each made by its factory, which logs the
// implementation it chose. The accessibility facility asks the workspace what only the window
// system knows, and names the workspace's applications in return.

#include "base/runtime.hpp"
#include "platform/linux/atspi_accessibility.hpp"
#include "platform/linux/qt_screens.hpp"
#include "platform/linux/x11_workspace.hpp"

#include <memory>

namespace pennial {

// On main, where activations are worked out.
std::shared_ptr<X11Workspace> makeWorkspace(Executor main);
std::shared_ptr<AtspiAccessibility>
makeAccessibility(const std::shared_ptr<X11Workspace>& workspace);
// GUI thread, after the application object exists.
std::shared_ptr<Screens> makeScreens();

} // namespace pennial
