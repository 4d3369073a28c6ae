#include "composition/linux_coordinator_dependencies.hpp"

#include "composition/backend_endpoints.hpp"
#include "platform/linux/desktop_activity.hpp"
#include "platform/linux/file_user_defaults.hpp"
#include "platform/linux/libsecret_store.hpp"
#include "platform/linux/linux_platform_factory.hpp"
#include "platform/linux/local_crash_reporter.hpp"
#include "platform/linux/package_manager_updater.hpp"
#include "platform/linux/process_environment.hpp"
#include "platform/linux/qt_clipboard.hpp"
#include "platform/linux/x11_palette_key_interceptor.hpp"
#include "platform/linux/xinput_key_event_source.hpp"
#include "platform/linux/xtest_keyboard_synthesizer.hpp"

namespace pennial {

CoordinatorDependencies linuxCoordinatorDependencies(QtExecutionContext& main) {
    CoordinatorDependencies dependencies;
    dependencies.main = main.get_executor();

    auto workspace = makeWorkspace(dependencies.main);
    dependencies.accessibility = makeAccessibility(workspace);
    dependencies.workspace = std::move(workspace);
    dependencies.screens = makeScreens();
    dependencies.keyEvents = makeKeyEventSource(dependencies.main);
    dependencies.fieldActivity = desktopActivity();
    dependencies.paletteKeyInterceptor = makePaletteKeyInterceptor(dependencies.main);
    dependencies.clipboard = makeClipboard();
    dependencies.keyboardSynthesizer = makeKeyboardSynthesizer();

    dependencies.secretStore = std::make_shared<LibsecretStore>();
    dependencies.userDefaults = std::make_shared<FileUserDefaults>();
    auto environment = std::make_shared<ProcessEnvironment>();
    dependencies.endpoints = backendEndpoints(*environment);
    dependencies.environment = std::move(environment);
    dependencies.crashReporter = std::make_shared<LocalCrashReporter>();
    dependencies.updater = std::make_shared<PackageManagerUpdater>();
    dependencies.moveToApplications = std::make_shared<NoMoveToApplications>();
    return dependencies;
}

} // namespace pennial
