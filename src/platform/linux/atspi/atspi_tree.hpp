#pragma once
// Walking the accessibility bus's trees: roles as the callers name them, parents, children,
// states, an application's active window, the focused element inside it, and the document a window
// shows. Accessibility thread only; every bus call goes through the caller's AtspiCall.

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"

#include <optional>
#include <string>
#include <vector>

namespace pennial::atspi_tree {

using Object = GObjectRef<AtspiAccessible>;

// A new reference of one's own to a borrowed object.
Object ref(AtspiAccessible* accessible);

// Whether its application has left the bus.
bool isGone(AtspiAccessible* accessible);

AtspiRole role(AtspiCall& call, AtspiAccessible* accessible);
// The role as already asked, without asking; and keeping one read in some other way.
std::optional<AtspiRole> knownRole(AtspiAccessible* accessible);
void keepRole(AtspiAccessible* accessible, AtspiRole role);
bool hasState(AtspiCall& call, AtspiAccessible* accessible, AtspiStateType state);

// The markup's roles (the "xml-roles" attribute), empty without them.
std::string xmlRoles(AtspiCall& call, AtspiAccessible* accessible);
std::string axRole(AtspiCall& call, AtspiAccessible* accessible);
std::optional<std::string> axSubrole(AtspiCall& call, AtspiAccessible* accessible);

// None for the application, whose parent is the desktop.
Object parent(AtspiCall& call, AtspiAccessible* accessible);
// At most limit of them, in order.
std::vector<Object> children(AtspiCall& call, AtspiAccessible* accessible, int limit);

// The application's window that is active; none when no window is.
Object activeWindow(AtspiCall& call, AtspiAccessible* application);
// The window (the child of its application) the object lies in.
Object windowOf(AtspiCall& call, AtspiAccessible* accessible);
// The focused element under root, searched breadth first through visible elements only.
// besides: an element not to stop at (a window that says it is focused itself).
Object findFocused(AtspiCall& call, AtspiAccessible* root, AtspiAccessible* besides = nullptr);
// The editable element a rich editor's part lies in, furthest up (an editor's paragraph, link or
// span is editable, and so is the editor itself); none for an element that is not editable.
Object editableRoot(AtspiCall& call, AtspiAccessible* accessible);
// The address of the document shown in the window ("DocURL", else "URI"), when it shows one.
std::optional<std::string> documentAddress(AtspiCall& call, AtspiAccessible* window);

} // namespace pennial::atspi_tree
