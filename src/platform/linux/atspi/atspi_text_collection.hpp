#pragma once
// The texts under an element gathered in a few round trips rather than one per element: the
// application's Collection interface names every element that shows text in one call, and their
// texts are then asked for all at once, the answers awaited together. Applications without the
// interface answer none, and the caller walks their tree. Accessibility thread only.

#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pennial::atspi_collection {

struct Limits {
    std::size_t maxElements = 500;
    std::size_t maxBytes = 120000; // the texts' UTF-8 in all
    bool contentOnly = false;      // toolbars, menus, banners and navigation left out
};

// The texts of the elements under root (itself included) that offer text, in document order:
// password fields, except and the elements inside it left out, the object-replacement and
// zero-width no-break characters some toolkits pad their text with removed. None when the
// application offers no Collection; the call holds the failure when it did not answer in time.
std::optional<std::vector<std::string>> collectTexts(AtspiCall& call, AtspiAccessible* root,
                                                     AtspiAccessible* except, const Limits& limits);

// The text without U+FFFC (an embedded object's place) and U+FEFF (padding after characters
// outside the Basic Multilingual Plane), which are no text of the page's.
std::string withoutPlaceholders(std::string text);

// What a search asks for: elements of one of these roles, or whose "xml-roles" attribute is
// xmlRoles.
struct Wanted {
    std::vector<AtspiRole> roles;
    std::string xmlRoles;
};

struct Found {
    GObjectRef<AtspiAccessible> element;
    int depth = 0; // levels below the root
};

// The elements under root (itself included) that are wanted, less than maxDepth levels down, in
// document order. None when the application offers no Collection.
std::optional<std::vector<Found>> findElements(AtspiCall& call, AtspiAccessible* root,
                                               const Wanted& wanted, int maxDepth);

} // namespace pennial::atspi_collection
