#pragma once
// The desktop facilities of a Linux session (X11, or Wayland with our windows on Xwayland), each
// made by its factory, which logs the implementation it chose. The accessibility facility asks the
// workspace what only the window system knows, and names the workspace's applications in return;
// on Wayland it also tells the workspace which window is active, which only the bus knows there.

#include "base/runtime.hpp"
#include "platform/keyboard.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"
#include "platform/linux/qt/qt_screens.hpp"
#include "platform/linux/session/display_session.hpp"
#include "platform/linux/x11/x11_workspace.hpp"
#include "platform/secret_store.hpp"

#include <memory>

namespace pennial {

// On main, where activations are worked out.
std::shared_ptr<X11Workspace> makeWorkspace(Executor main,
                                            DisplaySession session = DisplaySession::x11);
std::shared_ptr<AtspiAccessibility>
makeAccessibility(const std::shared_ptr<X11Workspace>& workspace,
                  DisplaySession session = DisplaySession::x11);
// Keys on Wayland: read from the input devices where the user may, else not at all (the keyboard
// fallback off, the palette's keys unseen but for the Escape applications report); synthesised
// through a virtual keyboard where the user may, else through the desktop's remote desktop portal
// (its permission kept in secrets), which the keyboard pastes find not ready until it grants.
std::unique_ptr<KeyEventSource> makeWaylandKeyEventSource(Executor main);
std::unique_ptr<PaletteKeyInterceptor> makeWaylandPaletteKeyInterceptor(Executor main);
std::unique_ptr<KeyboardSynthesizer>
makeWaylandKeyboardSynthesizer(std::shared_ptr<SecretStore> secrets);
// GUI thread, after the application object exists.
std::shared_ptr<Screens> makeScreens();

} // namespace pennial
