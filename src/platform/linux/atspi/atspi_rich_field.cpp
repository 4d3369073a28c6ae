#include "platform/linux/atspi/atspi_rich_field.hpp"

#include "base/unicode.hpp"
#include "platform/linux/atspi/atspi_late_selection.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

#include <algorithm>
#include <limits>
#include <string_view>
#include <thread>

namespace pennial {

namespace {

// A real editor's tree is a few levels deep and a few hundred elements wide; past that the rest
// stands for nothing rather than hold up the poll.
constexpr int richDepthLimit = 24;
constexpr int richElementLimit = 2000;
constexpr std::string_view objectMark = "\xEF\xBF\xBC"; // U+FFFC
// How often, and how far apart, a caret put somewhere is looked for there.
constexpr int caretLooks = 5;
constexpr std::chrono::milliseconds caretLookPause{10};

gint richOffset(std::int64_t offset) {
    return static_cast<gint>(std::clamp<std::int64_t>(offset, 0, std::numeric_limits<gint>::max()));
}

std::size_t countObjectMarks(std::string_view text) {
    std::size_t count = 0;
    for (auto at = text.find(objectMark); at != std::string_view::npos;
         at = text.find(objectMark, at + objectMark.size()))
        ++count;
    return count;
}

// Whether the element stands on lines of its own: what its markup's display says, else its role
// (links, text runs and images flow in the line).
bool isBlock(AtspiCall& call, AtspiAccessible* accessible) {
    static const GQuark kept = g_quark_from_static_string("pennial-block");
    if (auto known = GPOINTER_TO_INT(g_object_get_qdata(G_OBJECT(accessible), kept)); known > 0)
        return known == 2;
    std::optional<bool> block;
    if (GHashTable* attributes = call(
            [&](GError** error) { return atspi_accessible_get_attributes(accessible, error); })) {
        if (const auto* display =
                static_cast<const char*>(g_hash_table_lookup(attributes, "display")))
            block = !std::string_view(display).starts_with("inline");
        g_hash_table_unref(attributes);
    }
    if (!block) {
        const auto role = atspi_tree::role(call, accessible);
        block = role != ATSPI_ROLE_LINK && role != ATSPI_ROLE_STATIC && role != ATSPI_ROLE_TEXT &&
                role != ATSPI_ROLE_IMAGE && role != ATSPI_ROLE_MARK &&
                role != ATSPI_ROLE_SUBSCRIPT && role != ATSPI_ROLE_SUPERSCRIPT;
    }
    if (!call.failed())
        g_object_set_qdata(G_OBJECT(accessible), kept, GINT_TO_POINTER(*block ? 2 : 1));
    return *block;
}

// Whether the element is part of what the user edits: an editor's own widgets (a list's bullets,
// a checkbox, a button) cannot be edited, and their text is not the user's.
bool isEditablePart(AtspiCall& call, AtspiAccessible* accessible) {
    static const GQuark kept = g_quark_from_static_string("pennial-editable-part");
    if (auto known = GPOINTER_TO_INT(g_object_get_qdata(G_OBJECT(accessible), kept)); known > 0)
        return known == 2;
    const bool editable = atspi_tree::hasState(call, accessible, ATSPI_STATE_EDITABLE);
    if (!call.failed())
        g_object_set_qdata(G_OBJECT(accessible), kept, GINT_TO_POINTER(editable ? 2 : 1));
    return editable;
}

// The marker a browser puts at the start of a list item's text (a bullet, a number or a letter,
// and the space after it): the page draws it, it is never the user's text. UTF-16 units.
std::size_t listMarkerLength(std::string_view text) {
    const auto units = unicode::toUtf16(text.substr(0, 16));
    constexpr std::u16string_view bullets = u"\u2022\u25E6\u25AA\u25AB\u25A0\u25A1\u2023\u2043";
    constexpr std::u16string_view numerals = u"ivxlcdmIVXLCDM";
    auto isDigit = [](char16_t unit) { return unit >= u'0' && unit <= u'9'; };
    auto isLetter = [](char16_t unit) {
        return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z');
    };
    std::size_t at = 0;
    if (!units.empty() && bullets.find(units[0]) != std::u16string_view::npos) {
        at = 1;
    } else {
        // 12. or b) or iv.: digits, one letter, or a roman numeral.
        while (at < units.size() && at < 8 && (isDigit(units[at]) || isLetter(units[at])))
            ++at;
        const auto label = std::u16string_view(units).substr(0, at);
        const bool number = std::all_of(label.begin(), label.end(), isDigit) || label.size() == 1 ||
                            label.find_first_not_of(numerals) == std::u16string_view::npos;
        if (at == 0 || !number || at >= units.size() || (units[at] != u'.' && units[at] != u')'))
            return 0;
        ++at;
    }
    return at < units.size() && (units[at] == u' ' || units[at] == u'\u00A0') ? at + 1 : 0;
}

// The elements behind the text's object marks, in order: the children when there are as many,
// else asked of each mark through the hypertext (a toolkit may list children that stand for no
// mark, such as runs of text).
std::vector<GObjectRef<AtspiAccessible>> embedded(AtspiCall& call, AtspiAccessible* accessible,
                                                  std::string_view text, std::size_t marks,
                                                  AtspiTextUnits units) {
    auto children = atspi_tree::children(call, accessible, static_cast<int>(marks) + 1);
    std::vector<GObjectRef<AtspiAccessible>> found;
    if (children.size() == marks) {
        for (auto& child : children)
            found.emplace_back(child.release());
        return found;
    }
    GObjectRef<AtspiHypertext> hypertext(
        call([&](GError**) { return atspi_accessible_get_hypertext_iface(accessible); }));
    for (auto at = text.find(objectMark); at != std::string_view::npos && !call.failed();
         at = text.find(objectMark, at + objectMark.size())) {
        GObjectRef<AtspiAccessible> object;
        if (hypertext) {
            const auto offset = lengthIn(text.substr(0, at), units);
            const gint index = call([&](GError** error) {
                return atspi_hypertext_get_link_index(hypertext.get(), richOffset(offset), error);
            });
            GObjectRef<AtspiHyperlink> link(index < 0 ? nullptr : call([&](GError** error) {
                return atspi_hypertext_get_link(hypertext.get(), index, error);
            }));
            if (link)
                object.reset(call([&](GError** error) {
                    return atspi_hyperlink_get_object(link.get(), 0, error);
                }));
        }
        found.push_back(std::move(object));
    }
    return found;
}

struct TreeReader {
    AtspiCall& call;
    AtspiToolkit toolkit;
    std::vector<GObjectRef<AtspiAccessible>>& elements;

    // The element's text as the toolkit counts it, padding and object marks included.
    std::string rawText(AtspiAccessible* accessible) {
        GObjectRef<AtspiText> text(
            call([&](GError**) { return atspi_accessible_get_text_iface(accessible); }));
        if (!text)
            return {};
        gint end = -1;
        if (!toolkit.readsToTheEnd)
            end = call(
                [&](GError** error) { return atspi_text_get_character_count(text.get(), error); });
        return unicode::sanitizeUtf8(takeString(call([&](GError** error) {
            return atspi_text_get_text(text.get(), 0, std::max(end, -1), error);
        })));
    }

    // elements gets the node's element in the order FlatText numbers them.
    FlatText::Node read(GObjectRef<AtspiAccessible> accessible, int depth, bool block) {
        FlatText::Node node;
        node.block = block;
        auto* object = accessible.get();
        elements.push_back(std::move(accessible));
        if (!object)
            return node;
        node.text = rawText(object);
        if (block && depth > 0 && atspi_tree::role(call, object) == ATSPI_ROLE_LIST_ITEM)
            node.hidden = listMarkerLength(node.text);
        const auto marks = countObjectMarks(node.text);
        // A widget of the editor's (a list's bullet, a button) stands for nothing, and takes no
        // line of its own. (A container may not say it can be edited: its parts do.)
        if (depth > 0 && !isEditablePart(call, object)) {
            node.block = false;
            if (marks == 0) {
                node.text.clear();
                return node;
            }
        }
        if (marks == 0 || depth >= richDepthLimit || call.failed())
            return node;
        // Code points as read: Firefox's padding counts as a character of its own.
        const auto units =
            toolkit.padsAstralCharacters ? AtspiTextUnits::codePoints : toolkit.units;
        for (auto& child : embedded(call, object, node.text, marks, units)) {
            if (call.failed() || elements.size() >= richElementLimit)
                break;
            const bool childBlock = child && isBlock(call, child.get());
            node.children.push_back(read(std::move(child), depth + 1, childBlock));
        }
        return node;
    }
};

bool embedsObjects(AtspiCall& call, AtspiAccessible* accessible) {
    if (atspi_tree::role(call, accessible) == ATSPI_ROLE_PASSWORD_TEXT)
        return false;
    GObjectRef<AtspiHypertext> hypertext(
        call([&](GError**) { return atspi_accessible_get_hypertext_iface(accessible); }));
    if (!hypertext)
        return false;
    const gint links =
        call([&](GError** error) { return atspi_hypertext_get_n_links(hypertext.get(), error); });
    return links > 0 && !call.failed();
}

} // namespace

AtspiRichField::AtspiRichField(std::shared_ptr<const FlatText> flat, std::vector<Element> elements,
                               AtspiToolkit toolkit)
    : flat_(std::move(flat)),
      elements_(std::make_shared<std::vector<Element>>(std::move(elements))), toolkit_(toolkit) {}

bool AtspiRichField::isRich(AtspiCall& call, AtspiAccessible* accessible) {
    return accessible && embedsObjects(call, accessible) &&
           atspi_tree::hasState(call, accessible, ATSPI_STATE_EDITABLE);
}

std::optional<AtspiRichField> AtspiRichField::of(AtspiCall& call, AtspiAccessible* accessible,
                                                 AtspiToolkit toolkit, bool& embeds) {
    embeds = accessible && embedsObjects(call, accessible);
    if (!embeds || !atspi_tree::hasState(call, accessible, ATSPI_STATE_EDITABLE))
        return std::nullopt;
    std::vector<Element> elements;
    TreeReader reader{call, toolkit, elements};
    auto root = reader.read(atspi_tree::ref(accessible), 0, false);
    if (call.failed())
        return std::nullopt;
    const auto units = toolkit.padsAstralCharacters ? AtspiTextUnits::codePoints : toolkit.units;
    return AtspiRichField(std::make_shared<const FlatText>(root, units), std::move(elements),
                          toolkit);
}

AtspiAccessible* AtspiRichField::element(const FlatText::Place& place) const {
    const auto index = static_cast<std::size_t>(place.node);
    return index < elements_->size() ? (*elements_)[index].get() : nullptr;
}

std::optional<std::int64_t> AtspiRichField::caretOffset(AtspiCall& call) const {
    auto caretIn = [&](AtspiAccessible* accessible) -> gint {
        GObjectRef<AtspiText> text(
            call([&](GError**) { return atspi_accessible_get_text_iface(accessible); }));
        if (!text)
            return -1;
        return call([&](GError** error) { return atspi_text_get_caret_offset(text.get(), error); });
    };
    // Each element answers with its own offset, on the mark of the child that holds the caret:
    // down to the element that holds it in its own text.
    const gint rootCaret = caretIn(element({0, 0}));
    if (rootCaret < 0 || call.failed())
        return std::nullopt;
    FlatText::Place place{0, rootCaret};
    for (int level = 0; level < richDepthLimit; ++level) {
        const auto child = flat_->childAt(place);
        auto* childElement = child ? element({*child, 0}) : nullptr;
        const gint caret = childElement ? caretIn(childElement) : -1;
        if (caret < 0 || call.failed())
            break;
        place = {*child, caret};
    }
    return call.failed() ? std::nullopt : flat_->offsetOf(place);
}

std::optional<AXRange> AtspiRichField::selectedRange(AtspiCall& call) const {
    auto caret = caretOffset(call);
    return caret ? std::optional(AXRange{*caret, 0}) : std::nullopt;
}

AXResult<AXValue> AtspiRichField::stringForRange(AXRange range) const {
    if (range.location < 0 || range.length < 0)
        return AXError::illegalArgument;
    auto slice = unicode::sliceUtf16(text(), static_cast<std::size_t>(range.location),
                                     static_cast<std::size_t>(range.length));
    return slice ? AXResult<AXValue>(AXValue(std::move(*slice))) : AXError::illegalArgument;
}

AXResult<AXValue> AtspiRichField::boundsForRange(AtspiCall& call, AXRange range,
                                                 const AtspiWindowOrigin& origin) const {
    // Where the range starts: what the callers ask for is the caret.
    auto place = range.location >= 0 ? flat_->placeAt(range.location) : std::nullopt;
    auto* holder = place ? element(*place) : nullptr;
    if (!holder)
        return AXError::illegalArgument;
    GObjectRef<AtspiText> text(
        call([&](GError**) { return atspi_accessible_get_text_iface(holder); }));
    if (!text)
        return call.failure().value_or(AXError::noValue);
    const auto length = flat_->nodeLength(place->node);
    const bool after = place->offset >= length && place->offset > 0;
    auto bounds = atspiRectOnScreen(
        call,
        [&](AtspiCoordType type, GError** error) {
            return atspi_text_get_character_extents(
                text.get(), richOffset(after ? place->offset - 1 : place->offset), type, error);
        },
        origin);
    if (call.failed())
        return *call.failure();
    if (!bounds)
        return AXError::noValue;
    // The caret's edge of the character: its leading edge, or the trailing one at a line's end.
    return AXValue(
        Rect{{after ? bounds->maxX() : bounds->minX(), bounds->minY()}, {0, bounds->size.height}});
}

std::optional<std::pair<FlatText::Place, FlatText::Place>>
AtspiRichField::inOneElement(AXRange range) const {
    if (range.location < 0 || range.length < 0)
        return std::nullopt;
    auto start = flat_->placeAt(range.location);
    auto end = flat_->placeAt(range.location + range.length);
    if (!start || !end)
        return std::nullopt;
    if (range.length == 0)
        return std::pair{*start, *start};
    return flat_->inOneElement(*start, *end);
}

AXError AtspiRichField::selectRange(AtspiCall& call, AXRange range) const {
    auto ends = inOneElement(range);
    auto* holder = ends ? element(ends->first) : nullptr;
    if (!holder)
        return AXError::illegalArgument;
    GObjectRef<AtspiText> text(
        call([&](GError**) { return atspi_accessible_get_text_iface(holder); }));
    if (!text)
        return call.failure().value_or(AXError::attributeUnsupported);
    const auto [start, end] = *ends;
    bool done = false;
    if (range.length == 0) {
        done = call([&](GError** error) {
            return atspi_text_set_caret_offset(text.get(), richOffset(start.offset), error);
        });
        // The caret must stand where it was put: a browser moves it a moment after it answers.
        for (int look = 0; done && !call.failed() && look < caretLooks; ++look) {
            if (caretOffset(call) == range.location)
                break;
            if (look + 1 == caretLooks)
                done = false;
            else
                std::this_thread::sleep_for(caretLookPause);
        }
    } else {
        done = call([&](GError** error) {
            return atspi_text_set_selection(text.get(), 0, richOffset(start.offset),
                                            richOffset(end.offset), error);
        });
        if (!done && !call.failed())
            done = call([&](GError** error) {
                return atspi_text_add_selection(text.get(), richOffset(start.offset),
                                                richOffset(end.offset), error);
            });
        // The caret stands at a selection's end once it is made.
        const auto selectionEnd = range.location + range.length;
        if (done && !call.failed() && !toolkit_.reportsSelectionsElsewhere)
            awaitSelectionMade(toolkit_,
                               [&] { return caretOffset(call) == selectionEnd || call.failed(); });
    }
    if (call.failed())
        return *call.failure();
    return done ? AXError::success : AXError::failure;
}

AXError AtspiRichField::replaceRange(AtspiCall& call, AXRange range,
                                     const std::string& replacement) const {
    auto current = stringForRange(range);
    if (!current.ok())
        return current.error();
    // Only what differs is written: the text before it, and its formatting, stay as they are.
    // (The end stays written: the caret goes after it, where the user typed.)
    const auto was = unicode::toUtf16(*current.value()->asString());
    const auto with = unicode::toUtf16(unicode::sanitizeUtf8(replacement));
    const auto prefix = unicode::sharedStart(was, with);
    const AXRange changed{range.location + static_cast<std::int64_t>(prefix),
                          static_cast<std::int64_t>(was.size() - prefix)};
    const auto inserted = unicode::toUtf8(with.substr(prefix));
    if (changed.length == 0 && inserted.empty())
        return AXError::success;

    auto ends = inOneElement(changed);
    auto* holder = ends ? element(ends->first) : nullptr;
    if (!holder)
        return AXError::attributeUnsupported;
    GObjectRef<AtspiEditableText> editable(
        call([&](GError**) { return atspi_accessible_get_editable_text_iface(holder); }));
    if (!editable)
        return call.failure().value_or(AXError::attributeUnsupported);
    const auto [start, end] = *ends;
    bool done = true;
    if (end.offset > start.offset)
        done = call([&](GError** error) {
            return atspi_editable_text_delete_text(editable.get(), richOffset(start.offset),
                                                   richOffset(end.offset), error);
        });
    if (done && !inserted.empty() && !call.failed())
        done = call([&](GError** error) {
            return atspi_editable_text_insert_text(
                editable.get(), richOffset(start.offset), inserted.c_str(),
                richOffset(insertionLength(inserted, toolkit_)), error);
        });
    if (done && !call.failed()) {
        GObjectRef<AtspiText> text(
            call([&](GError**) { return atspi_accessible_get_text_iface(holder); }));
        if (text)
            call([&](GError** error) {
                return atspi_text_set_caret_offset(
                    text.get(), richOffset(start.offset + lengthIn(inserted, toolkit_.units)),
                    error);
            });
    }
    if (call.failed())
        return *call.failure();
    return done ? AXError::success : AXError::failure;
}

AXError AtspiRichField::replaceSelection(AtspiCall& call, const std::string& text) const {
    auto caret = caretOffset(call);
    if (!caret)
        return call.failure().value_or(AXError::failure);
    return replaceRange(call, {*caret, 0}, text);
}

AXError AtspiRichField::setWholeText(AtspiCall& call, const std::string& text) const {
    return replaceRange(call, {0, utf16Length()}, text);
}

} // namespace pennial
