#include "desktop_session.hpp"

#include <stdexcept>

// Once our Qt application is up, its accessibility bridge connects to the session bus and keeps
// that connection's objects to the end: not ours to free. Telling them apart takes the whole
// stack, through libraries built without frame pointers.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libQt6DBus.so\n";
}

namespace pennial::e2e {

namespace {
// A widgets application, as the product is: the settings window is tested here too.
auto* session =
    desktop_support::addQtSession("e2e_tests", desktop_support::QtApplicationKind::widgets,
                                  /*withMainExecutor=*/true);
} // namespace

QtExecutionContext& mainContext() {
    return *session->mainContext();
}

void typeOnKeyboard(const std::string& text) {
    // Our own event loop must keep answering meanwhile (the clipboard, the accessibility bus).
    QProcess typing;
    typing.start("xdotool", {"type", "--delay", "20", "--", QString::fromStdString(text)});
    if (!waitUntil([&] { return typing.state() == QProcess::NotRunning; }, 30s) ||
        typing.exitCode() != 0)
        throw std::runtime_error("xdotool failed");
}

} // namespace pennial::e2e
