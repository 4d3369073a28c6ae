#pragma once
// When a key was last taken by our own palette grab. X moves the keyboard focus away from the
// application and back for every grabbed key press, and GTK applications report both moves on the
// accessibility bus, the second often on a container rather than the field: focus reports that
// close to such a press are our doing, not the user's. Any thread.

#include <chrono>

namespace pennial::own_key_grab {

// How long after a grabbed key press the application's focus reports are taken as caused by it.
inline constexpr std::chrono::milliseconds aftermath{500};

// A key press our grab took.
void pressed();
// Whether a focus report arriving at this time follows one.
bool explains(std::chrono::steady_clock::time_point reportedAt);

} // namespace pennial::own_key_grab
