#include "desktop_session.hpp"

// Once a widget of ours is shown, Qt's accessibility bridge connects to the session bus and
// keeps that connection's objects to the end: not ours to free. Telling them apart takes the
// whole stack, through libraries built without frame pointers.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6DBus.so\n";
}

namespace pennial::desktop {

namespace {
// The screens and our own windows need a widgets application.
[[maybe_unused]] auto* session = desktop_support::addQtSession(
    "platform_atspi_tests", desktop_support::QtApplicationKind::widgets,
    /*withMainExecutor=*/false);
} // namespace

void typeOnKeyboard(const std::string& text) {
    desktop_support::runTool("xdotool", {"type", "--delay", "1", QString::fromStdString(text)});
}

} // namespace pennial::desktop
