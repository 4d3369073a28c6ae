#pragma once
// The accessibility bus's roles as the role and subrole values the callers compare ("AXTextField",
// "AXWindow", "AXLandmarkMain", ...). Roles without a value of their own get one spelled after
// their name ("check box" -> "AXCheckBox").

#include <atspi/atspi-constants.h>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

struct AtspiRoleFacts {
    AtspiRole role = ATSPI_ROLE_INVALID;
    std::string_view roleName; // as the bus names it: "push button"
    bool multiLine = false;    // the MULTI_LINE state
    bool topLevel = false;     // a child of its application: a window, whatever its role says
};

// Whether a role may hide a top-level window (a toolkit's bare window shows as a filler or panel):
// only then is it worth asking for the parent.
bool mayBeTopLevel(AtspiRole role);

std::string axRole(const AtspiRoleFacts& facts);

// xmlRoles: the object attribute "xml-roles", as web content reports its landmarks.
std::optional<std::string> axSubrole(AtspiRole role, std::string_view xmlRoles);

} // namespace pennial
