#include "platform/linux/atspi/atspi_roles.hpp"

#include "platform/ax_names.hpp"

#include <cctype>

namespace pennial {

namespace {

std::string spelledAfterName(std::string_view roleName) {
    std::string spelled = "AX";
    bool wordStart = true;
    for (char c : roleName) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            wordStart = true;
            continue;
        }
        spelled += wordStart ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        wordStart = false;
    }
    return spelled.size() > 2 ? spelled : "AXUnknown";
}

// Whether the space-separated list holds the word.
bool holdsWord(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        auto end = list.find(' ');
        if (list.substr(0, end) == word)
            return true;
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
    return false;
}

} // namespace

bool mayBeTopLevel(AtspiRole role) {
    return role == ATSPI_ROLE_FILLER || role == ATSPI_ROLE_PANEL || role == ATSPI_ROLE_UNKNOWN;
}

std::string axRole(const AtspiRoleFacts& facts) {
    namespace role = ax::role;
    if (facts.topLevel)
        return std::string(role::window);
    switch (facts.role) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT:
        return std::string(facts.multiLine ? role::textArea : role::textField);
    case ATSPI_ROLE_PASSWORD_TEXT:
        return std::string(role::textField);
    case ATSPI_ROLE_DOCUMENT_WEB:
        return std::string(role::webArea);
    case ATSPI_ROLE_FRAME:
    case ATSPI_ROLE_WINDOW:
    case ATSPI_ROLE_DIALOG:
        return std::string(role::window);
    case ATSPI_ROLE_APPLICATION:
        return std::string(role::application);
    case ATSPI_ROLE_IMAGE:
        return std::string(role::image);
    case ATSPI_ROLE_SCROLL_BAR:
        return std::string(role::scrollBar);
    case ATSPI_ROLE_PROGRESS_BAR:
        return std::string(role::progressIndicator);
    case ATSPI_ROLE_TOOL_BAR:
        return std::string(role::toolbar);
    case ATSPI_ROLE_MENU_BAR:
        return std::string(role::menuBar);
    case ATSPI_ROLE_MENU:
        return std::string(role::menu);
    case ATSPI_ROLE_PUSH_BUTTON:
        return std::string(role::button);
    case ATSPI_ROLE_LABEL:
    case ATSPI_ROLE_STATIC:
        return std::string(role::staticText);
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_FILLER:
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_LANDMARK:
        return std::string(role::group);
    case ATSPI_ROLE_INVALID:
    case ATSPI_ROLE_UNKNOWN:
        return "AXUnknown";
    default:
        return spelledAfterName(facts.roleName);
    }
}

std::optional<std::string> axSubrole(AtspiRole role, std::string_view xmlRoles) {
    namespace subrole = ax::subrole;
    if (role == ATSPI_ROLE_PASSWORD_TEXT)
        return std::string(subrole::secureTextField);
    if (holdsWord(xmlRoles, "main"))
        return std::string(subrole::landmarkMain);
    if (holdsWord(xmlRoles, "banner"))
        return std::string(subrole::landmarkBanner);
    if (holdsWord(xmlRoles, "navigation"))
        return std::string(subrole::landmarkNavigation);
    if (holdsWord(xmlRoles, "application"))
        return std::string(subrole::applicationGroup);
    return std::nullopt;
}

} // namespace pennial
