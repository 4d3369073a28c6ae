#pragma once
// Ownership of what libatspi hands out: objects and interfaces (a reference each), boxed rectangles
// and ranges, and text, released when the holder goes.

#include <atspi/atspi.h>
#include <memory>
#include <string>

namespace pennial {

struct GObjectUnref {
    void operator()(void* object) const { g_object_unref(object); }
};
template <class T> using GObjectRef = std::unique_ptr<T, GObjectUnref>;

struct GFree {
    void operator()(void* memory) const { g_free(memory); }
};
template <class T> using GOwned = std::unique_ptr<T, GFree>;

// The text, freed; empty for none.
inline std::string takeString(gchar* text) {
    GOwned<gchar> owned(text);
    return owned ? std::string(owned.get()) : std::string();
}

} // namespace pennial
