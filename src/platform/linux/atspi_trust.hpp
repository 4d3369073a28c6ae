#pragma once
// The desktop's accessibility switch: org.a11y.Status.IsEnabled of the accessibility bus's
// launcher on the session bus. Toolkits (Qt among them) expose their applications only when it is
// on as they start. Any thread.

#include <optional>

namespace pennial {

// None when the session bus or the launcher does not answer.
std::optional<bool> atspiAccessibilityEnabled();
// Turns the switch on; false when that failed.
bool enableAtspiAccessibility();

} // namespace pennial
