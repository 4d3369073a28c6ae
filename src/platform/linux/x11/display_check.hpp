#pragma once
// Whether the X display our windows go to (through Xwayland in a Wayland session) can be reached.
// Without Xlib's headers, whose macros break the toolkit's in a file that includes both.

namespace pennial {

bool canOpenDisplay();

} // namespace pennial
