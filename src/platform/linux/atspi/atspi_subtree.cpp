#include "platform/linux/atspi/atspi_subtree.hpp"

#include "platform/linux/atspi/atspi_roles.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

#include <algorithm>
#include <atspi/atspi.h>
#include <cmath>
#include <cstring>
#include <dbus/dbus.h>
#include <memory>
#include <utility>

// The library's own way from a reference on the bus (bus name, path) to its object, which it
// keeps one of per reference; the answer is a reference of the caller's, null for the null path.
// Not in its headers, but what every reference it hands out goes through.
extern "C" AtspiAccessible* _atspi_ref_accessible(const char* app, const char* path);

namespace pennial::atspi_subtree {

namespace {

constexpr const char* accessibleInterface = "org.a11y.atspi.Accessible";
constexpr const char* textInterface = "org.a11y.atspi.Text";
constexpr const char* nullPath = "/org/a11y/atspi/null";

struct MessageUnref {
    void operator()(DBusMessage* message) const { dbus_message_unref(message); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// The requests of one round, sent at once and answered together within what is left of the
// read's time.
class Round {
public:
    Round(AtspiCall& call, std::chrono::steady_clock::time_point end) : call_(call), end_(end) {}
    ~Round() {
        for (auto* pending : pending_)
            if (pending) {
                dbus_pending_call_cancel(pending);
                dbus_pending_call_unref(pending);
            }
    }
    Round(const Round&) = delete;
    Round& operator=(const Round&) = delete;

    // The request's number in the round; -1 when it could not be sent. A method of the
    // Accessible interface, with no argument or an index; a property of the Accessible or Text
    // interface; all of the Accessible interface's properties; a stretch of text.
    int ask(AtspiAccessible* accessible, const char* method) {
        return send(accessible, accessibleInterface, method, {});
    }
    int ask(AtspiAccessible* accessible, const char* method, dbus_int32_t index) {
        return send(accessible, accessibleInterface, method, {index});
    }
    int askProperty(AtspiAccessible* accessible, const char* property,
                    const char* interface = accessibleInterface) {
        return send(accessible, DBUS_INTERFACE_PROPERTIES, "Get", {}, interface, property);
    }
    int askAllProperties(AtspiAccessible* accessible) {
        return send(accessible, DBUS_INTERFACE_PROPERTIES, "GetAll", {}, accessibleInterface);
    }
    int askText(AtspiAccessible* accessible, dbus_int32_t start, dbus_int32_t end) {
        return send(accessible, textInterface, "GetText", {start, end});
    }

    // The answer to a request; null for an error, a request not sent or the time run out.
    Message answer(int index) {
        if (index < 0)
            return nullptr;
        auto*& pending = pending_[static_cast<std::size_t>(index)];
        dbus_pending_call_block(pending);
        Message reply(dbus_pending_call_steal_reply(pending));
        dbus_pending_call_unref(pending);
        pending = nullptr;
        if (std::chrono::steady_clock::now() >= end_)
            call_.fail(AXError::cannotComplete);
        if (!reply || dbus_message_get_type(reply.get()) != DBUS_MESSAGE_TYPE_METHOD_RETURN)
            return nullptr;
        return reply;
    }

private:
    // Strings first, then numbers: what the requests above take.
    int send(AtspiAccessible* accessible, const char* interface, const char* method,
             std::vector<dbus_int32_t> numbers, const char* first = nullptr,
             const char* second = nullptr) {
        const auto* object = ATSPI_OBJECT(accessible);
        const auto left =
            std::chrono::duration<double, std::milli>(end_ - std::chrono::steady_clock::now());
        if (!object->app || !object->app->bus || !object->app->bus_name || !object->path ||
            left.count() < 1)
            return -1;
        Message message(
            dbus_message_new_method_call(object->app->bus_name, object->path, interface, method));
        if (!message)
            return -1;
        for (const char* text : {first, second})
            if (text && !dbus_message_append_args(message.get(), DBUS_TYPE_STRING, &text,
                                                  DBUS_TYPE_INVALID))
                return -1;
        for (auto& number : numbers)
            if (!dbus_message_append_args(message.get(), DBUS_TYPE_INT32, &number,
                                          DBUS_TYPE_INVALID))
                return -1;
        DBusPendingCall* pending = nullptr;
        if (!dbus_connection_send_with_reply(object->app->bus, message.get(), &pending,
                                             static_cast<int>(std::lround(left.count()))) ||
            !pending)
            return -1;
        pending_.push_back(pending);
        return static_cast<int>(pending_.size()) - 1;
    }

    AtspiCall& call_;
    std::chrono::steady_clock::time_point end_;
    std::vector<DBusPendingCall*> pending_;
};

// What an element offers, as found before: an object keeps its interfaces (the library too asks
// for them once).
struct Offers {
    bool text = false;
    bool value = false;
    bool hypertext = false;
};

GQuark offersKey() {
    static const GQuark kept = g_quark_from_static_string("pennial-offers");
    return kept;
}

std::optional<Offers> knownOffers(AtspiAccessible* accessible) {
    const auto known = GPOINTER_TO_INT(g_object_get_qdata(G_OBJECT(accessible), offersKey()));
    if (known == 0)
        return std::nullopt;
    return Offers{(known & 1) != 0, (known & 2) != 0, (known & 4) != 0};
}

void keepOffers(AtspiAccessible* accessible, Offers offers) {
    const int known =
        8 | (offers.text ? 1 : 0) | (offers.value ? 2 : 0) | (offers.hypertext ? 4 : 0);
    g_object_set_qdata(G_OBJECT(accessible), offersKey(), GINT_TO_POINTER(known));
}

// From an answer listing the element's interfaces.
std::optional<Offers> offersIn(DBusMessage* reply) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY ||
        dbus_message_iter_get_element_type(&iter) != DBUS_TYPE_STRING)
        return std::nullopt;
    Offers offers;
    DBusMessageIter names;
    dbus_message_iter_recurse(&iter, &names);
    for (; dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
         dbus_message_iter_next(&names)) {
        const char* name = nullptr;
        dbus_message_iter_get_basic(&names, &name);
        const std::string_view offered(name ? name : "");
        offers.text |= offered == textInterface;
        offers.value |= offered == "org.a11y.atspi.Value";
        offers.hypertext |= offered == "org.a11y.atspi.Hypertext";
    }
    return offers;
}

std::optional<std::string> textIn(DBusMessage* reply) {
    const char* text = nullptr;
    if (!reply ||
        !dbus_message_get_args(reply, nullptr, DBUS_TYPE_STRING, &text, DBUS_TYPE_INVALID))
        return std::nullopt;
    return std::string(text ? text : "");
}

std::optional<AtspiRole> roleIn(DBusMessage* reply) {
    dbus_uint32_t role = 0;
    if (!reply ||
        !dbus_message_get_args(reply, nullptr, DBUS_TYPE_UINT32, &role, DBUS_TYPE_INVALID))
        return std::nullopt;
    return static_cast<AtspiRole>(role);
}

// What a variant holds, when it is of the kind asked.
std::optional<std::string> stringIn(DBusMessageIter* variant) {
    DBusMessageIter value;
    dbus_message_iter_recurse(variant, &value);
    if (dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_STRING)
        return std::nullopt;
    const char* text = nullptr;
    dbus_message_iter_get_basic(&value, &text);
    return std::string(text ? text : "");
}

std::optional<int> intIn(DBusMessageIter* variant) {
    DBusMessageIter value;
    dbus_message_iter_recurse(variant, &value);
    if (dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_INT32)
        return std::nullopt;
    dbus_int32_t number = 0;
    dbus_message_iter_get_basic(&value, &number);
    return number;
}

// A property read's answer: a variant.
std::optional<std::string> stringPropertyIn(DBusMessage* reply) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT)
        return std::nullopt;
    return stringIn(&iter);
}

std::optional<int> intPropertyIn(DBusMessage* reply) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT)
        return std::nullopt;
    return intIn(&iter);
}

// The object a reference (so) names, a reference of the caller's; null for the null reference.
AtspiAccessible* objectAt(DBusMessageIter* reference) {
    DBusMessageIter parts;
    dbus_message_iter_recurse(reference, &parts);
    const char* busName = nullptr;
    const char* path = nullptr;
    if (dbus_message_iter_get_arg_type(&parts) != DBUS_TYPE_STRING)
        return nullptr;
    dbus_message_iter_get_basic(&parts, &busName);
    dbus_message_iter_next(&parts);
    if (dbus_message_iter_get_arg_type(&parts) != DBUS_TYPE_OBJECT_PATH)
        return nullptr;
    dbus_message_iter_get_basic(&parts, &path);
    if (!busName || !path || std::strcmp(path, nullPath) == 0)
        return nullptr;
    return _atspi_ref_accessible(busName, path);
}

AtspiAccessible* referenceIn(DBusMessage* reply) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT)
        return nullptr;
    return objectAt(&iter);
}

// The objects an a(so) answer names, in order, null ones left out, at most limit of them.
std::optional<std::vector<GObjectRef<AtspiAccessible>>> referencesIn(DBusMessage* reply,
                                                                     int limit) {
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY ||
        dbus_message_iter_get_element_type(&iter) != DBUS_TYPE_STRUCT)
        return std::nullopt;
    std::vector<GObjectRef<AtspiAccessible>> objects;
    DBusMessageIter array;
    dbus_message_iter_recurse(&iter, &array);
    for (int index = 0; index < limit && dbus_message_iter_get_arg_type(&array) == DBUS_TYPE_STRUCT;
         ++index) {
        if (auto* object = objectAt(&array))
            objects.emplace_back(object);
        dbus_message_iter_next(&array);
    }
    return objects;
}

struct Properties {
    std::optional<std::string> name;
    std::optional<std::string> description;
    std::optional<int> childCount;
};

// The properties of an a{sv} answer that a walk reads.
Properties propertiesIn(DBusMessage* reply) {
    Properties properties;
    DBusMessageIter iter;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY ||
        dbus_message_iter_get_element_type(&iter) != DBUS_TYPE_DICT_ENTRY)
        return properties;
    DBusMessageIter entries;
    dbus_message_iter_recurse(&iter, &entries);
    for (; dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY;
         dbus_message_iter_next(&entries)) {
        DBusMessageIter entry;
        dbus_message_iter_recurse(&entries, &entry);
        if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING)
            continue;
        const char* key = nullptr;
        dbus_message_iter_get_basic(&entry, &key);
        dbus_message_iter_next(&entry);
        if (!key || dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT)
            continue;
        const std::string_view name(key);
        if (name == "Name")
            properties.name = stringIn(&entry);
        else if (name == "Description")
            properties.description = stringIn(&entry);
        else if (name == "ChildCount")
            properties.childCount = intIn(&entry);
    }
    return properties;
}

bool blank(const std::optional<std::string>& text) {
    return !text || text->find_first_not_of(" \t\r\n") == std::string::npos;
}

bool sameObject(AtspiAccessible* one, AtspiAccessible* other) {
    if (!one || !other)
        return false;
    if (one == other)
        return true;
    const auto* a = ATSPI_OBJECT(one);
    const auto* b = ATSPI_OBJECT(other);
    return a->app && b->app && a->app->bus_name && b->app->bus_name && a->path && b->path &&
           std::strcmp(a->app->bus_name, b->app->bus_name) == 0 &&
           std::strcmp(a->path, b->path) == 0;
}

// The role as its name alone makes it: what a field's states or a window's place add never makes
// one of the roles whose subtree is skipped.
std::string plainAxRole(AtspiRole role) {
    AtspiRoleFacts facts;
    facts.role = role;
    GOwned<gchar> name(atspi_role_get_name(role));
    facts.roleName = name ? name.get() : "";
    return axRole(facts);
}

// The role as the attribute read names it. Fields ask for their states and the root for its
// parent, as the read does; any other element lies below root, whose parent it is not, so its
// parent is the element that listed it.
std::string axRoleOf(AtspiCall& call, AtspiAccessible* accessible, AtspiRole role,
                     std::optional<AtspiRole> parentRole) {
    if (!parentRole || role == ATSPI_ROLE_TEXT || role == ATSPI_ROLE_ENTRY)
        return atspi_tree::axRole(call, accessible);
    if (!mayBeTopLevel(role) || parentRole != ATSPI_ROLE_APPLICATION)
        return plainAxRole(role);
    AtspiRoleFacts facts;
    facts.role = role;
    facts.topLevel = true;
    return axRole(facts);
}

bool isLeaf(const Limits& limits, const std::optional<std::string>& role) {
    return role && std::find(limits.leafRoles.begin(), limits.leafRoles.end(), *role) !=
                       limits.leafRoles.end();
}

} // namespace

std::optional<std::vector<Element>> read(AtspiCall& call, AtspiAccessible* root,
                                         const Limits& limits, int childLimit) {
    const auto end =
        std::chrono::steady_clock::now() +
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(call.timeout());
    std::vector<Element> elements;
    std::vector<std::optional<AtspiRole>> roles;   // each element's, as the bus names it
    std::vector<std::optional<AtspiRole>> parents; // the role of each element's parent
    if (limits.maxDepth < 1 || limits.maxElements < 1 || sameObject(root, limits.except))
        return elements;
    // Never more: the walk below holds references into it while it adds the next level.
    elements.reserve(static_cast<std::size_t>(limits.maxElements));
    Element top;
    top.object = atspi_tree::ref(root);
    elements.push_back(std::move(top));
    roles.push_back(atspi_tree::knownRole(root));
    parents.push_back(std::nullopt);
    const bool allProperties = limits.texts && limits.toolkit.answersAllProperties;
    for (std::size_t first = 0; first < elements.size() && !call.failed();) {
        const std::size_t last = elements.size();
        struct Asked {
            int role = -1, interfaces = -1, properties = -1, name = -1, count = -1, children = -1;
            int characters = -1, text = -1;
            int description = -1;
            std::vector<int> eachChild;
        };
        std::vector<Asked> asked(last - first);
        std::vector<std::optional<int>> counts(last - first);     // children
        std::vector<std::optional<int>> characters(last - first); // of a plain text
        // First the role, the texts and the children (or how many there are).
        {
            Round round(call, end);
            for (auto at = first; at < last; ++at) {
                auto* object = elements[at].object.get();
                auto& ask = asked[at - first];
                if (!roles[at])
                    ask.role = round.ask(object, "GetRole");
                const auto offers = knownOffers(object);
                if (limits.texts && !offers)
                    ask.interfaces = round.ask(object, "GetInterfaces");
                // An element whose subtree a harvest skips shows no text of its own either.
                const bool texts =
                    limits.texts && (!roles[at] || !isLeaf(limits, plainAxRole(*roles[at])));
                // A plain text's value is its whole text, read as the value read reads it: a
                // text that embeds others, or a password, is left to that read.
                if (texts && offers && offers->text && !offers->hypertext && roles[at] &&
                    *roles[at] != ATSPI_ROLE_PASSWORD_TEXT &&
                    !limits.toolkit.padsAstralCharacters) {
                    if (limits.toolkit.readsToTheEnd)
                        ask.text = round.askText(object, 0, -1);
                    else
                        ask.characters = round.askProperty(object, "CharacterCount", textInterface);
                }
                if (allProperties)
                    ask.properties = round.askAllProperties(object);
                else if (texts)
                    ask.name = round.askProperty(object, "Name");
                if (limits.toolkit.listsChildrenAtOnce)
                    ask.children = round.ask(object, "GetChildren");
                else if (!allProperties)
                    ask.count = round.askProperty(object, "ChildCount");
            }
            for (auto at = first; at < last; ++at) {
                auto& element = elements[at];
                const auto& ask = asked[at - first];
                if (ask.role >= 0) {
                    auto reply = round.answer(ask.role);
                    if ((roles[at] = roleIn(reply.get())))
                        atspi_tree::keepRole(element.object.get(), *roles[at]);
                }
                if (ask.interfaces >= 0) {
                    auto reply = round.answer(ask.interfaces);
                    if (auto offers = offersIn(reply.get()))
                        keepOffers(element.object.get(), *offers);
                }
                if (ask.text >= 0) {
                    auto reply = round.answer(ask.text);
                    element.text = textIn(reply.get());
                }
                if (ask.characters >= 0) {
                    auto reply = round.answer(ask.characters);
                    characters[at - first] = intPropertyIn(reply.get());
                }
                if (ask.properties >= 0) {
                    auto reply = round.answer(ask.properties);
                    auto properties = propertiesIn(reply.get());
                    element.name = properties.name;
                    element.description = properties.description;
                    counts[at - first] = properties.childCount;
                }
                auto name = round.answer(ask.name);
                if (ask.name >= 0)
                    element.name = stringPropertyIn(name.get());
                auto count = round.answer(ask.count);
                if (ask.count >= 0)
                    counts[at - first] = intPropertyIn(count.get());
                auto children = round.answer(ask.children);
                if (ask.children >= 0)
                    element.children = referencesIn(children.get(), childLimit);
            }
        }
        if (call.failed())
            return std::nullopt;
        // Then what the first answers call for: each child by its index, a plain text's whole
        // text, a description where the name says nothing.
        {
            Round round(call, end);
            for (auto at = first; at < last; ++at) {
                auto& element = elements[at];
                auto& ask = asked[at - first];
                auto* object = element.object.get();
                element.busRole = roles[at];
                if (limits.texts) {
                    if (roles[at]) {
                        element.role =
                            axRoleOf(call, object, *roles[at], at > 0 ? parents[at] : std::nullopt);
                        if (call.failed())
                            return std::nullopt;
                    }
                    if (auto offers = knownOffers(object)) {
                        element.textless = !offers->text && !offers->value;
                    } else {
                        GObjectRef<AtspiText> text(call(
                            [&](GError**) { return atspi_accessible_get_text_iface(object); }));
                        GObjectRef<AtspiValue> value(call(
                            [&](GError**) { return atspi_accessible_get_value_iface(object); }));
                        element.textless = !text && !value && !call.failed();
                    }
                    if (!allProperties && blank(element.name) && !isLeaf(limits, element.role))
                        ask.description = round.askProperty(object, "Description");
                }
                if (const auto& count = characters[at - first])
                    ask.text = round.askText(object, 0, std::max(*count, 0));
                if (const auto& count = counts[at - first])
                    for (int index = 0; index < std::min(*count, childLimit); ++index)
                        ask.eachChild.push_back(round.ask(object, "GetChildAtIndex", index));
            }
            for (auto at = first; at < last; ++at) {
                auto& element = elements[at];
                const auto& ask = asked[at - first];
                if (ask.description >= 0) {
                    auto reply = round.answer(ask.description);
                    element.description = stringPropertyIn(reply.get());
                }
                if (characters[at - first]) {
                    auto reply = round.answer(ask.text);
                    element.text = textIn(reply.get());
                }
                if (!counts[at - first])
                    continue;
                // As the read lists them: a child that does not come is left out, a list with
                // a child unanswered is not kept.
                std::vector<GObjectRef<AtspiAccessible>> children;
                bool whole = true;
                for (int index : ask.eachChild) {
                    auto child = round.answer(index);
                    if (!child)
                        whole = false;
                    else if (auto* reference = referenceIn(child.get()))
                        children.emplace_back(reference);
                }
                if (whole)
                    element.children = std::move(children);
            }
        }
        if (call.failed())
            return std::nullopt;
        // The next level: the children of this one's elements, in order.
        for (auto at = first; at < last; ++at) {
            auto& element = elements[at];
            if (element.depth + 1 >= limits.maxDepth || !element.children ||
                isLeaf(limits, element.role))
                continue;
            for (const auto& child : *element.children) {
                if (static_cast<int>(elements.size()) >= limits.maxElements)
                    break;
                if (sameObject(child.get(), limits.except))
                    continue;
                Element below;
                below.object = atspi_tree::ref(child.get());
                below.depth = element.depth + 1;
                elements.push_back(std::move(below));
                roles.push_back(atspi_tree::knownRole(child.get()));
                parents.push_back(roles[at]);
            }
        }
        first = last;
    }
    if (call.failed())
        return std::nullopt;
    return elements;
}

} // namespace pennial::atspi_subtree
