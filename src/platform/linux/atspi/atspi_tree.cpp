#include "platform/linux/atspi/atspi_tree.hpp"

#include "platform/linux/atspi/atspi_offsets.hpp"
#include "platform/linux/atspi/atspi_roles.hpp"
#include "platform/linux/atspi/atspi_subtree.hpp"
#include "platform/linux/atspi/atspi_text_collection.hpp"

#include <algorithm>
#include <deque>
#include <utility>

namespace pennial::atspi_tree {

namespace {

// The focus search: a real editor's window holds a few hundred elements.
constexpr int focusSearchElements = 400;
constexpr int focusSearchDepth = 30;
// The document search: documents sit a few levels below their window.
constexpr int documentSearchElements = 60;
constexpr int documentSearchDepth = 6;

constexpr AtspiRole documentRoles[] = {
    ATSPI_ROLE_DOCUMENT_WEB,   ATSPI_ROLE_DOCUMENT_FRAME,        ATSPI_ROLE_DOCUMENT_TEXT,
    ATSPI_ROLE_DOCUMENT_EMAIL, ATSPI_ROLE_DOCUMENT_PRESENTATION, ATSPI_ROLE_DOCUMENT_SPREADSHEET};

bool isDocumentRole(AtspiRole role) {
    return std::find(std::begin(documentRoles), std::end(documentRoles), role) !=
           std::end(documentRoles);
}

GObjectRef<AtspiStateSet> states(AtspiCall& call, AtspiAccessible* accessible) {
    return GObjectRef<AtspiStateSet>(
        call([&](GError**) { return atspi_accessible_get_state_set(accessible); }));
}

std::optional<std::string> documentAttribute(AtspiCall& call, AtspiDocument* document,
                                             const char* name) {
    auto value = takeString(call([&](GError** error) {
        return atspi_document_get_document_attribute_value(document, const_cast<gchar*>(name),
                                                           error);
    }));
    if (value.empty())
        return std::nullopt;
    return value;
}

} // namespace

std::string xmlRoles(AtspiCall& call, AtspiAccessible* accessible) {
    GHashTable* attributes =
        call([&](GError** error) { return atspi_accessible_get_attributes(accessible, error); });
    if (!attributes)
        return {};
    const auto* value = static_cast<const char*>(g_hash_table_lookup(attributes, "xml-roles"));
    std::string roles = value ? value : "";
    g_hash_table_unref(attributes);
    return roles;
}

Object ref(AtspiAccessible* accessible) {
    return Object(accessible ? ATSPI_ACCESSIBLE(g_object_ref(accessible)) : nullptr);
}

bool isGone(AtspiAccessible* accessible) {
    const auto* object = ATSPI_OBJECT(accessible);
    return !object->app || !object->app->bus;
}

namespace {
// An object keeps its role, and the library only keeps it while its own loop runs: asked once per
// object, the answer stays with the object.
GQuark roleKey() {
    static const GQuark kept = g_quark_from_static_string("pennial-role");
    return kept;
}
} // namespace

std::optional<AtspiRole> knownRole(AtspiAccessible* accessible) {
    if (auto known = GPOINTER_TO_INT(g_object_get_qdata(G_OBJECT(accessible), roleKey()));
        known > 0)
        return static_cast<AtspiRole>(known - 1);
    return std::nullopt;
}

void keepRole(AtspiAccessible* accessible, AtspiRole role) {
    if (role != ATSPI_ROLE_INVALID)
        g_object_set_qdata(G_OBJECT(accessible), roleKey(), GINT_TO_POINTER(role + 1));
}

AtspiRole role(AtspiCall& call, AtspiAccessible* accessible) {
    if (auto known = knownRole(accessible))
        return *known;
    const AtspiRole found =
        call([&](GError** error) { return atspi_accessible_get_role(accessible, error); });
    if (!call.failed())
        keepRole(accessible, found);
    return found;
}

bool hasState(AtspiCall& call, AtspiAccessible* accessible, AtspiStateType state) {
    auto set = states(call, accessible);
    return set && atspi_state_set_contains(set.get(), state);
}

std::string axRole(AtspiCall& call, AtspiAccessible* accessible) {
    AtspiRoleFacts facts;
    facts.role = role(call, accessible);
    GOwned<gchar> name(atspi_role_get_name(facts.role));
    facts.roleName = name ? name.get() : "";
    if (facts.role == ATSPI_ROLE_TEXT || facts.role == ATSPI_ROLE_ENTRY)
        facts.multiLine = hasState(call, accessible, ATSPI_STATE_MULTI_LINE);
    if (mayBeTopLevel(facts.role))
        if (auto above = parent(call, accessible))
            facts.topLevel = role(call, above.get()) == ATSPI_ROLE_APPLICATION;
    return pennial::axRole(facts);
}

std::optional<std::string> axSubrole(AtspiCall& call, AtspiAccessible* accessible) {
    const auto objectRole = role(call, accessible);
    if (objectRole == ATSPI_ROLE_PASSWORD_TEXT || objectRole == ATSPI_ROLE_APPLICATION)
        return pennial::axSubrole(objectRole, {});
    return pennial::axSubrole(objectRole, xmlRoles(call, accessible));
}

Object parent(AtspiCall& call, AtspiAccessible* accessible) {
    Object above(
        call([&](GError** error) { return atspi_accessible_get_parent(accessible, error); }));
    if (!above || above.get() == accessible || role(call, above.get()) == ATSPI_ROLE_DESKTOP_FRAME)
        return nullptr;
    return above;
}

std::vector<Object> children(AtspiCall& call, AtspiAccessible* accessible, int limit) {
    const int count =
        call([&](GError** error) { return atspi_accessible_get_child_count(accessible, error); });
    std::vector<Object> found;
    for (int index = 0; index < count && index < limit && !call.failed(); ++index) {
        Object child(call([&](GError** error) {
            return atspi_accessible_get_child_at_index(accessible, index, error);
        }));
        if (child)
            found.push_back(std::move(child));
    }
    return found;
}

Object activeWindow(AtspiCall& call, AtspiAccessible* application) {
    constexpr int windowLimit = 200;
    for (auto& window : children(call, application, windowLimit))
        if (hasState(call, window.get(), ATSPI_STATE_ACTIVE))
            return std::move(window);
    return nullptr;
}

Object windowOf(AtspiCall& call, AtspiAccessible* accessible) {
    constexpr int maxLevels = 100;
    Object current = ref(accessible);
    for (int level = 0; level < maxLevels && !call.failed(); ++level) {
        Object above = parent(call, current.get());
        if (!above)
            return nullptr;
        if (role(call, above.get()) == ATSPI_ROLE_APPLICATION)
            return current;
        current = std::move(above);
    }
    return nullptr;
}

Object findFocused(AtspiCall& call, AtspiAccessible* root, AtspiAccessible* besides) {
    std::deque<std::pair<Object, int>> queue;
    queue.emplace_back(ref(root), 0);
    for (int visited = 0; !queue.empty() && visited < focusSearchElements && !call.failed();
         ++visited) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        auto set = states(call, element.get());
        if (!set)
            continue;
        if (atspi_state_set_contains(set.get(), ATSPI_STATE_FOCUSED) && element.get() != besides)
            return std::move(element);
        // Hidden parts cannot hold the focus; lists that manage their descendants may hold
        // thousands of rows, none of them a text field; nor do menus, whose items (hundreds in
        // an office suite's menu bar) would use up the search before the document is reached.
        // A word processor's document manages its paragraphs too, but lists only those shown.
        const bool hidden = depth > 0 && !atspi_state_set_contains(set.get(), ATSPI_STATE_VISIBLE);
        if (hidden || depth >= focusSearchDepth)
            continue;
        const auto elementRole = role(call, element.get());
        if ((atspi_state_set_contains(set.get(), ATSPI_STATE_MANAGES_DESCENDANTS) &&
             !isDocumentRole(elementRole)) ||
            elementRole == ATSPI_ROLE_MENU_BAR || elementRole == ATSPI_ROLE_MENU)
            continue;
        for (auto& child : children(call, element.get(), focusSearchElements))
            queue.emplace_back(std::move(child), depth + 1);
    }
    return nullptr;
}

Object editableRoot(AtspiCall& call, AtspiAccessible* accessible) {
    constexpr int maxLevels = 30;
    auto editableText = [&](AtspiAccessible* element) {
        GObjectRef<AtspiText> text(
            call([&](GError**) { return atspi_accessible_get_text_iface(element); }));
        return text && hasState(call, element, ATSPI_STATE_EDITABLE);
    };
    if (!editableText(accessible))
        return nullptr;
    Object root = ref(accessible);
    for (int level = 0; level < maxLevels && !call.failed(); ++level) {
        Object above = parent(call, root.get());
        if (!above)
            break;
        const auto aboveRole = role(call, above.get());
        if (aboveRole == ATSPI_ROLE_FRAME || aboveRole == ATSPI_ROLE_WINDOW ||
            aboveRole == ATSPI_ROLE_DIALOG || aboveRole == ATSPI_ROLE_APPLICATION ||
            !editableText(above.get()))
            break;
        root = std::move(above);
    }
    return call.failed() ? nullptr : std::move(root);
}

namespace {

// The first document a breadth-first walk from the window meets.
Object findDocument(AtspiCall& call, AtspiAccessible* window) {
    std::deque<std::pair<Object, int>> queue;
    queue.emplace_back(ref(window), 0);
    for (int visited = 0; !queue.empty() && visited < documentSearchElements && !call.failed();
         ++visited) {
        auto [element, depth] = std::move(queue.front());
        queue.pop_front();
        if (isDocumentRole(role(call, element.get())))
            return std::move(element);
        if (depth + 1 < documentSearchDepth)
            for (auto& child : children(call, element.get(), documentSearchElements))
                queue.emplace_back(std::move(child), depth + 1);
    }
    return nullptr;
}

} // namespace

std::optional<std::string> documentAddress(AtspiCall& call, AtspiAccessible* window) {
    Object found;
    // One search where the application offers it: the shallowest document, the first of those in
    // document order, as the walk would meet it.
    if (auto documents = atspi_collection::findElements(
            call, window, {std::vector(std::begin(documentRoles), std::end(documentRoles)), {}},
            documentSearchDepth)) {
        const atspi_collection::Found* first = nullptr;
        for (const auto& document : *documents)
            if (!first || document.depth < first->depth)
                first = &document;
        if (first)
            found = ref(first->element.get());
    } else if (auto elements =
                   atspi_subtree::read(call, window,
                                       {documentSearchDepth,
                                        documentSearchElements,
                                        nullptr,
                                        {},
                                        false,
                                        toolkitNamed(takeString(call([&](GError** error) {
                                            return atspi_accessible_get_toolkit_name(window, error);
                                        })))},
                                       documentSearchElements)) {
        // The walk's elements, read a level at a time.
        for (const auto& element : *elements)
            if (element.busRole && isDocumentRole(*element.busRole)) {
                found = ref(element.object.get());
                break;
            }
    } else if (!call.failed()) {
        found = findDocument(call, window);
    }
    if (!found || call.failed())
        return std::nullopt;
    GObjectRef<AtspiDocument> document(
        call([&](GError**) { return atspi_accessible_get_document_iface(found.get()); }));
    if (!document)
        return std::nullopt;
    if (auto address = documentAttribute(call, document.get(), "DocURL"))
        return address;
    return documentAttribute(call, document.get(), "URI");
}

} // namespace pennial::atspi_tree
