#pragma once
// The desktop's accessibility switch: org.a11y.Status.IsEnabled of the accessibility bus's
// launcher on the session bus. Toolkits (Qt among them) expose their applications only when it is
// on as they start. Any thread; the bus is asked from a thread of its own, and the user
// interface's thread waits for it only briefly: past that, the last answer stands.

#include <optional>

namespace pennial {

// None when the session bus or the launcher did not answer.
std::optional<bool> atspiAccessibilityEnabled();
// Turns the switch on; false when that failed or is still under way.
bool enableAtspiAccessibility();

} // namespace pennial
