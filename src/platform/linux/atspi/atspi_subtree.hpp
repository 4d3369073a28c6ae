#pragma once
// An element's subtree read level by level: every request a level needs is sent at once and the
// answers awaited together, so a tree of a few hundred elements costs a few dozen round trips
// rather than a thousand. Each element's answers are what the attribute reads would answer for it
// (see AtspiAttributes::read). What an object never changes (its role, the interfaces it offers)
// is kept with it, so that the next read asks less. The whole read is allowed the call's
// time-out. Accessibility thread only.

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_offsets.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"

#include <optional>
#include <string>
#include <vector>

namespace pennial::atspi_subtree {

struct Limits {
    int maxDepth = 0;    // levels read, root at level 0
    int maxElements = 0; // elements read, root included
    AtspiAccessible* except = nullptr;
    std::vector<std::string> leafRoles; // roles ("AXImage") whose children are not read
    bool texts = true;                  // without, only roles and children are read
    AtspiToolkit toolkit;               // how the application answers
};

struct Element {
    GObjectRef<AtspiAccessible> object;
    int depth = 0;
    // Each answer none when it was not read or did not come.
    std::optional<AtspiRole> busRole;
    std::optional<std::string> role; // as callers name it ("AXGroup")
    std::optional<std::string> name;
    std::optional<std::string> description;
    // At most as many as the attribute read takes, in order.
    std::optional<std::vector<GObjectRef<AtspiAccessible>>> children;
    bool textless = false;           // no text and no value: the value read answers nothing
    std::optional<std::string> text; // a plain text's, as the toolkit gave it: the value
};

// Root first, then each level in order. None when the application does not answer the requests
// this needs (the call holds the failure when it ran out of time).
std::optional<std::vector<Element>> read(AtspiCall& call, AtspiAccessible* root,
                                         const Limits& limits, int childLimit);

} // namespace pennial::atspi_subtree
