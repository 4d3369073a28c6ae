#include "platform/linux/x11/display_check.hpp"

#include "platform/linux/x11/x11_connection.hpp"

namespace pennial {

bool canOpenDisplay() {
    return openDisplay() != nullptr;
}

} // namespace pennial
