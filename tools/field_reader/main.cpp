// A second accessibility client, as another process: reads (and on request writes) the focused
// field of an application through the accessibility bus, for the desktop tests and benchmarks.
// One command a line on stdin, one answer a line on stdout (texts hex-encoded):
//   text PID          -> "text <hex>" or "none"
//   caret PID         -> "caret <offset in UTF-16 units>" or "none"
//   document PID      -> "document <hex>": the texts of the field and the elements beside it
//                        (a word processor's paragraphs), one a line; or "none"
//   set PID <hex>     -> "set <0|error code>"
//   role PID          -> "role <the field's role>" or "none"
//   quit
// With --poll-focused it reads the focused field every 20 ms instead, until its parent goes. With
// --follow-focus it asks for the focused field on every command (a word processor moves the focus
// from paragraph to paragraph).

#include "platform/ax_names.hpp"
#include "platform/linux/atspi/atspi_accessibility.hpp"

#include <chrono>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

using namespace pennial;

namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : bytes) {
        out.push_back(digits[byte >> 4]);
        out.push_back(digits[byte & 15]);
    }
    return out;
}

std::string unhex(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

std::optional<AXElement> focusedField(AtspiAccessibility& reader, Pid pid) {
    // Asked of the application itself: its focus may have been given before anyone listened.
    auto focused =
        reader.copyAttributeValue(pid ? reader.applicationElement(pid) : reader.systemWideElement(),
                                  ax::attribute::focusedUIElement);
    const auto* element = focused.ok() ? focused.value()->get<AXElement>() : nullptr;
    if (!element)
        return std::nullopt;
    return *element;
}

std::optional<std::string> roleOf(AtspiAccessibility& reader, const AXElement& element) {
    auto role = reader.copyAttributeValue(element, ax::attribute::role);
    const auto* name = role.ok() ? role.value()->get<std::string>() : nullptr;
    return name ? std::optional(*name) : std::nullopt;
}

std::string besideFocused(AtspiAccessibility& reader, const std::optional<AXElement>& field) {
    auto parent = field ? reader.copyAttributeValue(*field, ax::attribute::parent)
                        : AXResult<AXValue>(AXError::noValue);
    const auto* above = parent.ok() ? parent.value()->get<AXElement>() : nullptr;
    auto children = above ? reader.copyAttributeValue(*above, ax::attribute::children)
                          : AXResult<AXValue>(AXError::noValue);
    const auto* list = children.ok() ? children.value()->get<AXValue::List>() : nullptr;
    if (!list)
        return "none";
    std::string joined;
    for (const auto& child : *list) {
        const auto* element = child.get<AXElement>();
        auto value = element ? reader.copyAttributeValue(*element, ax::attribute::value)
                             : AXResult<AXValue>(AXError::noValue);
        const auto* text = value.ok() ? value.value()->get<std::string>() : nullptr;
        if (!text)
            continue;
        joined += (joined.empty() ? "" : "\n") + *text;
    }
    return "document " + hex(joined);
}

int pollFocused() {
    const pid_t parent = ::getppid();
    AtspiAccessibility reader;
    while (::getppid() == parent) {
        if (auto field = focusedField(reader, 0))
            reader.copyAttributeValue(*field, ax::attribute::value);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--poll-focused") == 0)
        return pollFocused();
    const bool followFocus = argc > 1 && std::strcmp(argv[1], "--follow-focus") == 0;
    AtspiAccessibility reader;
    // The field found last: asked again only when it cannot be read, so that the reads cost the
    // application no more than a user's assistive technology would.
    std::optional<AXElement> known;
    Pid knownPid = 0;
    auto fieldOf = [&](Pid pid, bool again) {
        // A browser's page holds the focus while it loads, its field takes it after: a page is
        // never kept as the field.
        if (again || !known || knownPid != pid || roleOf(reader, *known) == ax::role::webArea) {
            known = focusedField(reader, pid);
            knownPid = pid;
        }
        return known;
    };
    std::cout << "ready" << std::endl;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        Pid pid = 0;
        words >> command >> pid;
        if (command == "quit")
            break;
        auto field = fieldOf(pid, followFocus);
        if (command == "text") {
            auto value = field ? reader.copyAttributeValue(*field, ax::attribute::value)
                               : AXResult<AXValue>(AXError::noValue);
            if (!value.ok() && (field = fieldOf(pid, true)))
                value = reader.copyAttributeValue(*field, ax::attribute::value);
            const auto* text = value.ok() ? value.value()->get<std::string>() : nullptr;
            std::cout << (text ? "text " + hex(*text) : std::string("none")) << std::endl;
        } else if (command == "caret") {
            auto value = field ? reader.copyAttributeValue(*field, ax::attribute::selectedTextRange)
                               : AXResult<AXValue>(AXError::noValue);
            const auto* range = value.ok() ? value.value()->get<AXRange>() : nullptr;
            std::cout << (range && range->length == 0 ? "caret " + std::to_string(range->location)
                                                      : std::string("none"))
                      << std::endl;
        } else if (command == "role") {
            const auto role = field ? roleOf(reader, *field) : std::nullopt;
            std::cout << (role ? "role " + *role : std::string("none")) << std::endl;
        } else if (command == "document") {
            std::cout << besideFocused(reader, field) << std::endl;
        } else if (command == "set") {
            std::string text;
            words >> text;
            const auto result =
                field ? reader.setAttributeValue(*field, ax::attribute::value, AXValue(unhex(text)))
                      : AXError::noValue;
            std::cout << "set " << static_cast<int>(result) << std::endl;
        } else {
            std::cout << "unknown" << std::endl;
        }
    }
    return 0;
}
