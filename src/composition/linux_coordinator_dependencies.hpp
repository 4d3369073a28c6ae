#pragma once
// The coordinator's dependencies on a Linux (X11) desktop: each facility from its factory, the
// session in the desktop's Secret Service, settings and crash reports in the XDG folders, the
// package manager as the updater, and the Qt event loop as the main executor. The windows and
// panels are left to the user interface that owns them.

#include "app/coordinator_dependencies.hpp"
#include "platform/linux/qt/qt_executor.hpp"

namespace pennial {

// GUI thread, after the application object exists. Reads the backend addresses' overrides from
// the process environment.
CoordinatorDependencies linuxCoordinatorDependencies(QtExecutionContext& main);

} // namespace pennial
