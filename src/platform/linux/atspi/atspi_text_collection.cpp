#include "platform/linux/atspi/atspi_text_collection.hpp"

#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

#include <algorithm>
#include <atspi/atspi.h>
#include <cmath>
#include <dbus/dbus.h>
#include <memory>
#include <set>
#include <string_view>
#include <utility>

namespace pennial::atspi_collection {

namespace {

using Identity = std::pair<std::string, std::string>; // bus name, path

std::optional<Identity> identityOf(AtspiAccessible* accessible) {
    const auto* object = accessible ? ATSPI_OBJECT(accessible) : nullptr;
    if (!object || !object->app || !object->app->bus_name || !object->path)
        return std::nullopt;
    return Identity{object->app->bus_name, object->path};
}

struct MatchRuleUnref {
    void operator()(AtspiMatchRule* rule) const { g_object_unref(rule); }
};

// Every element that offers text and is not a password field.
std::unique_ptr<AtspiMatchRule, MatchRuleUnref> textRule() {
    GObjectRef<AtspiStateSet> states(atspi_state_set_new(nullptr));
    GArray* roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
    const AtspiRole password = ATSPI_ROLE_PASSWORD_TEXT;
    g_array_append_val(roles, password);
    GArray* interfaces = g_array_new(FALSE, FALSE, sizeof(gchar*));
    const gchar* text = "Text";
    g_array_append_val(interfaces, text);
    std::unique_ptr<AtspiMatchRule, MatchRuleUnref> rule(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, roles,
        ATSPI_Collection_MATCH_NONE, interfaces, ATSPI_Collection_MATCH_ALL, FALSE));
    g_array_free(roles, TRUE);
    g_array_free(interfaces, TRUE);
    return rule;
}

std::unique_ptr<AtspiMatchRule, MatchRuleUnref> roleRule(std::initializer_list<AtspiRole> wanted) {
    GObjectRef<AtspiStateSet> states(atspi_state_set_new(nullptr));
    GArray* roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
    for (AtspiRole role : wanted)
        g_array_append_val(roles, role);
    std::unique_ptr<AtspiMatchRule, MatchRuleUnref> rule(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, roles,
        ATSPI_Collection_MATCH_ANY, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
    g_array_free(roles, TRUE);
    return rule;
}

// Elements whose attributes hold every entry of the table (the library takes it over).
std::unique_ptr<AtspiMatchRule, MatchRuleUnref> wantedRule(const Wanted& wanted) {
    GObjectRef<AtspiStateSet> states(atspi_state_set_new(nullptr));
    GArray* roles = nullptr;
    if (!wanted.roles.empty()) {
        roles = g_array_new(FALSE, FALSE, sizeof(AtspiRole));
        for (AtspiRole role : wanted.roles)
            g_array_append_val(roles, role);
    }
    GHashTable* attributes = nullptr;
    if (!wanted.xmlRoles.empty()) {
        attributes = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
        g_hash_table_insert(attributes, g_strdup("xml-roles"), g_strdup(wanted.xmlRoles.c_str()));
    }
    std::unique_ptr<AtspiMatchRule, MatchRuleUnref> rule(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, attributes, ATSPI_Collection_MATCH_ALL, roles,
        ATSPI_Collection_MATCH_ANY, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
    if (roles)
        g_array_free(roles, TRUE);
    if (attributes)
        g_hash_table_unref(attributes);
    return rule;
}

// The elements under root matching the rule, in document order; none without a Collection.
std::optional<std::vector<GObjectRef<AtspiAccessible>>>
matches(AtspiCall& call, AtspiAccessible* root, AtspiMatchRule* rule, std::size_t limit) {
    GObjectRef<AtspiCollection> collection(
        call([&](GError**) { return atspi_accessible_get_collection_iface(root); }));
    if (!collection)
        return std::nullopt;
    bool refused = false;
    GArray* found = call.quietly(
        [&](GError** error) {
            return atspi_collection_get_matches(collection.get(), rule,
                                                ATSPI_Collection_SORT_ORDER_CANONICAL,
                                                static_cast<gint>(limit), TRUE, error);
        },
        refused);
    if (refused || !found)
        return std::nullopt;
    std::vector<GObjectRef<AtspiAccessible>> elements;
    for (guint i = 0; i < found->len; ++i)
        elements.emplace_back(g_array_index(found, AtspiAccessible*, i)); // ours to release
    g_array_free(found, TRUE);
    return elements;
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

// Asks every element for its whole text at once, then collects the answers in order, within the
// call's time-out in all.
std::vector<std::string> textsOf(AtspiCall& call,
                                 const std::vector<GObjectRef<AtspiAccessible>>& elements,
                                 const Limits& limits) {
    struct Asked {
        DBusPendingCall* pending = nullptr;
    };
    const auto milliseconds =
        static_cast<int>(std::lround(std::clamp(call.timeout().count() * 1000.0, 1.0, 1e9)));
    std::vector<Asked> asked;
    asked.reserve(elements.size());
    for (const auto& element : elements) {
        Asked one;
        const auto* object = ATSPI_OBJECT(element.get());
        if (object->app && object->app->bus && object->app->bus_name && object->path) {
            DBusMessage* message = dbus_message_new_method_call(object->app->bus_name, object->path,
                                                                "org.a11y.atspi.Text", "GetText");
            const dbus_int32_t start = 0;
            const dbus_int32_t end = -1;
            if (message && dbus_message_append_args(message, DBUS_TYPE_INT32, &start,
                                                    DBUS_TYPE_INT32, &end, DBUS_TYPE_INVALID))
                dbus_connection_send_with_reply(object->app->bus, message, &one.pending,
                                                milliseconds);
            if (message)
                dbus_message_unref(message);
        }
        asked.push_back(one);
    }
    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> texts;
    std::size_t bytes = 0;
    for (auto& one : asked) {
        if (!one.pending)
            continue;
        dbus_pending_call_block(one.pending);
        DBusMessage* reply = dbus_pending_call_steal_reply(one.pending);
        dbus_pending_call_unref(one.pending);
        one.pending = nullptr;
        if (!reply)
            continue;
        const char* text = nullptr;
        if (dbus_message_get_type(reply) == DBUS_MESSAGE_TYPE_METHOD_RETURN &&
            dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID) &&
            text && bytes < limits.maxBytes) {
            auto clean = withoutPlaceholders(text);
            if (!blank(clean)) {
                bytes += clean.size();
                texts.push_back(std::move(clean));
            }
        }
        dbus_message_unref(reply);
    }
    if (std::chrono::steady_clock::now() - started >= call.timeout())
        call.fail(AXError::cannotComplete);
    return texts;
}

} // namespace

std::string withoutPlaceholders(std::string text) {
    for (std::string_view mark : {"\xEF\xBF\xBC", "\xEF\xBB\xBF"})
        for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at))
            text.erase(at, mark.size());
    return text;
}

std::optional<std::vector<std::string>> collectTexts(AtspiCall& call, AtspiAccessible* root,
                                                     AtspiAccessible* except,
                                                     const Limits& limits) {
    auto rule = textRule();
    auto found = matches(call, root, rule.get(), limits.maxElements);
    if (!found || call.failed())
        return std::nullopt;
    // The focused field's own text, and what lies inside it, is no context around it; nor, for
    // content, is the chrome of the window or page.
    std::set<Identity> left;
    auto leaveOut = [&](AtspiAccessible* container) {
        if (auto identity = identityOf(container))
            left.insert(*identity);
        if (auto inside = matches(call, container, rule.get(), limits.maxElements))
            for (const auto& element : *inside)
                if (auto identity = identityOf(element.get()))
                    left.insert(*identity);
    };
    if (except)
        leaveOut(except);
    if (limits.contentOnly) {
        auto chromeRule = roleRule(
            {ATSPI_ROLE_TOOL_BAR, ATSPI_ROLE_MENU_BAR, ATSPI_ROLE_MENU, ATSPI_ROLE_LANDMARK});
        auto chrome = matches(call, root, chromeRule.get(), limits.maxElements);
        if (!chrome)
            chrome.emplace();
        for (const auto& element : *chrome) {
            if (call.failed())
                break;
            if (atspi_tree::role(call, element.get()) == ATSPI_ROLE_LANDMARK) {
                GHashTable* attributes = call([&](GError** error) {
                    return atspi_accessible_get_attributes(element.get(), error);
                });
                const auto* roles =
                    attributes
                        ? static_cast<const char*>(g_hash_table_lookup(attributes, "xml-roles"))
                        : nullptr;
                const std::string landmark = roles ? roles : "";
                if (attributes)
                    g_hash_table_unref(attributes);
                if (landmark != "banner" && landmark != "navigation")
                    continue;
            }
            leaveOut(element.get());
        }
    }
    std::erase_if(*found, [&](const GObjectRef<AtspiAccessible>& element) {
        auto identity = identityOf(element.get());
        return !identity || left.contains(*identity);
    });
    if (call.failed())
        return std::nullopt;
    return textsOf(call, *found, limits);
}

std::optional<std::vector<Found>> findElements(AtspiCall& call, AtspiAccessible* root,
                                               const Wanted& wanted, int maxDepth) {
    // Enough for the few documents or landmarks a window holds.
    constexpr std::size_t candidates = 16;
    auto rule = wantedRule(wanted);
    auto matched = matches(call, root, rule.get(), candidates);
    if (!matched || call.failed())
        return std::nullopt;
    std::vector<Found> found;
    if (maxDepth < 1)
        return found;
    // The search answers what lies below root; root itself is looked at here.
    const auto rootRole = atspi_tree::role(call, root);
    if (std::find(wanted.roles.begin(), wanted.roles.end(), rootRole) != wanted.roles.end() ||
        (!wanted.xmlRoles.empty() && atspi_tree::xmlRoles(call, root) == wanted.xmlRoles))
        found.push_back({atspi_tree::ref(root), 0});
    const auto rootIdentity = identityOf(root);
    for (auto& element : *matched) {
        // Its depth, counted up to root; an element further down than the search reaches, or
        // whose way up does not pass root, is left out.
        int depth = 1;
        auto above = atspi_tree::parent(call, element.get());
        for (; above && depth < maxDepth && !call.failed(); ++depth) {
            if (identityOf(above.get()) == rootIdentity)
                break;
            above = atspi_tree::parent(call, above.get());
        }
        if (call.failed())
            return std::nullopt;
        if (above && depth < maxDepth && identityOf(above.get()) == rootIdentity)
            found.push_back({std::move(element), depth});
    }
    return found;
}

} // namespace pennial::atspi_collection
