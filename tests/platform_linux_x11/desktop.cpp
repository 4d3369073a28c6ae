#include "desktop.hpp"

#include "platform/linux/qt/qt_executor.hpp"

#include <asio/io_context.hpp>
#include <stdexcept>

namespace pennial::desktop {

namespace {
auto* session =
    desktop_support::addQtSession("platform_x11_tests", desktop_support::QtApplicationKind::gui,
                                  /*withMainExecutor=*/true);
} // namespace

Executor mainExecutor() {
    if (auto* context = session->mainContext())
        return context->get_executor();
    // Without a display the tests skip, but their fixtures are still built: give them an executor
    // that never runs anything.
    static asio::io_context idle;
    return idle.get_executor();
}

} // namespace pennial::desktop
