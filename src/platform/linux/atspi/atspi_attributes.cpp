#include "platform/linux/atspi/atspi_attributes.hpp"

#include "platform/ax_names.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/atspi/atspi_rich_field.hpp"
#include "platform/linux/atspi/atspi_text_collection.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/atspi/atspi_tree.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace pennial {

namespace attribute = ax::attribute;
namespace parameterized = ax::parameterized;

namespace {

// How often, and how far apart, a window reported focused is searched for the focused field.
constexpr int focusSearchesPerReport = 5;
constexpr std::chrono::milliseconds focusSearchInterval{1000};

AXValue elementValue(AtspiAccessible* accessible) {
    return AXValue(AtspiElement::object(accessible));
}

AXResult<AXValue> elementOrNoValue(AtspiAccessible* accessible) {
    return accessible ? AXResult<AXValue>(elementValue(accessible)) : AXError::noValue;
}

std::string nameOf(AtspiCall& call, AtspiAccessible* accessible) {
    return takeString(
        call([&](GError** error) { return atspi_accessible_get_name(accessible, error); }));
}

bool isApplication(AtspiCall& call, AtspiAccessible* accessible) {
    return atspi_tree::role(call, accessible) == ATSPI_ROLE_APPLICATION;
}

// Whether focus reported at focusedAt, in the process pid, is still the user's. Reported before
// the active window changed, the window may be one of an application that reports nothing (a
// terminal, say), and writing into the field would be writing into a window the user left. It
// is still the user's when the active window is its application's (whose report may simply have
// come in first).
bool stillFocused(const AtspiDesktopHooks& hooks, std::chrono::steady_clock::time_point focusedAt,
                  std::optional<Pid> pid) {
    auto activated = hooks.activeWindowSince ? hooks.activeWindowSince() : std::nullopt;
    if (!activated || focusedAt >= *activated)
        return true;
    auto active = hooks.activeWindowProcess ? hooks.activeWindowProcess() : std::nullopt;
    return active && pid == active;
}

// The focused element's role and subrole, read once for each focus report: the snapshot's
// once-a-second renewal then asks the field only for its text. Its password rule comes from its
// role alone, which an object keeps (see atspi_tree::role); what else they carry (one line or
// several, a landmark) is fixed when the field is made.
std::optional<AtspiFocusSnapshot::Roles> rolesOf(AtspiCall& call, AtspiAccessible* focused,
                                                 std::uint64_t report) {
    struct Kept {
        std::uint64_t report;
        AtspiFocusSnapshot::Roles roles;
    };
    static const GQuark kept = g_quark_from_static_string("pennial-focus-roles");
    if (const auto* known = static_cast<const Kept*>(g_object_get_qdata(G_OBJECT(focused), kept));
        known && known->report == report)
        return known->roles;
    auto role = atspi_tree::axRole(call, focused);
    auto subrole = atspi_tree::axSubrole(call, focused);
    if (call.failed())
        return std::nullopt;
    AtspiFocusSnapshot::Roles roles{std::move(role), std::move(subrole)};
    g_object_set_qdata_full(G_OBJECT(focused), kept, new Kept{report, roles},
                            [](gpointer done) { delete static_cast<Kept*>(done); });
    return roles;
}

// The field the focused element is part of: a rich editor's paragraph or link reports focus and
// caret moves of its own, but the field is the editor. Worked out once for each focus report; the
// field is kept with the focused element, which keeps it alive.
AtspiAccessible* fieldOf(AtspiCall& call, AtspiAccessible* focused, std::uint64_t report) {
    struct Kept {
        std::uint64_t report;
        AtspiAccessible* field; // a reference of its own
    };
    static const GQuark kept = g_quark_from_static_string("pennial-focused-field");
    if (const auto* known = static_cast<const Kept*>(g_object_get_qdata(G_OBJECT(focused), kept));
        known && known->report == report)
        return known->field;
    // Its own call: a part that will not say where it lies is still the focus.
    AtspiCall search(call.timeout());
    auto root = atspi_tree::editableRoot(search, focused);
    if (search.failed())
        return focused;
    auto* field = root ? root.release() : ATSPI_ACCESSIBLE(g_object_ref(focused));
    g_object_set_qdata_full(G_OBJECT(focused), kept, new Kept{report, field}, [](gpointer done) {
        auto* gone = static_cast<Kept*>(done);
        g_object_unref(gone->field);
        delete gone;
    });
    return field;
}

} // namespace

AtspiAttributes::AtspiAttributes(AtspiDesktopHooks hooks,
                                 std::shared_ptr<AtspiFocusSnapshot> snapshot)
    : hooks_(std::move(hooks)), snapshot_(std::move(snapshot)),
      focus_([snapshot = snapshot_] { snapshot->invalidate(); }) {
    if (hooks_.windowActivated)
        windowActivations_ =
            AtspiWindowActivations::start(hooks_.windowActivated, hooks_.activeWindowProcess);
}

AtspiAccessible* AtspiAttributes::resolve(AtspiCall& call, AtspiElement& element) {
    if (element.kind() == AtspiElement::Kind::systemWide)
        return nullptr;
    auto* accessible = element.accessible();
    if (accessible && !atspi_tree::isGone(accessible)) {
        AtspiThread::instance().keepConnectionHere(accessible);
        return accessible;
    }
    if (element.kind() == AtspiElement::Kind::application)
        if (auto* application = applications_.withPid(call, element.pid())) {
            element.resolve(application);
            AtspiThread::instance().keepConnectionHere(application);
            return application;
        }
    // The focus handed out may be of an application that has just gone.
    if (accessible)
        snapshot_->invalidate();
    call.fail(AXError::invalidUIElement);
    return nullptr;
}

AXResult<AXValue> AtspiAttributes::read(AtspiCall& call, const AtspiElement& element,
                                        AtspiAccessible* accessible, std::string_view attribute) {
    if (element.kind() == AtspiElement::Kind::systemWide)
        return readSystemWide(call, element, attribute);
    if (attribute == attribute::value || attribute == attribute::currentValue)
        return readValue(call, accessible, attribute == attribute::value);
    if (attribute == attribute::numberOfCharacters || attribute == attribute::selectedTextRange ||
        attribute == attribute::selectedText)
        return readText(call, accessible, attribute);
    if (attribute == attribute::role)
        return AXValue(atspi_tree::axRole(call, accessible));
    if (attribute == attribute::richText)
        return AXValue(AtspiRichField::isRich(call, accessible));
    if (attribute == attribute::subrole) {
        auto subrole = atspi_tree::axSubrole(call, accessible);
        return subrole ? AXResult<AXValue>(AXValue(std::move(*subrole))) : AXError::noValue;
    }
    if (attribute == attribute::roleDescription)
        return AXValue(takeString(call([&](GError** error) {
            return atspi_accessible_get_localized_role_name(accessible, error);
        })));
    if (attribute == attribute::title)
        return AXValue(nameOf(call, accessible));
    if (attribute == attribute::description)
        return AXValue(takeString(call(
            [&](GError** error) { return atspi_accessible_get_description(accessible, error); })));
    if (attribute == attribute::children) {
        AXValue::List children;
        for (auto& child : atspi_tree::children(call, accessible, childLimit))
            children.push_back(elementValue(child.get()));
        return AXValue(std::move(children));
    }
    if (attribute == attribute::parent)
        return elementOrNoValue(atspi_tree::parent(call, accessible).get());
    if (attribute == attribute::focusedWindow && isApplication(call, accessible))
        return elementOrNoValue(atspi_tree::activeWindow(call, accessible).get());
    if (attribute == attribute::focusedUIElement && isApplication(call, accessible))
        return focusedElementOf(call, accessible);
    if (attribute == attribute::document &&
        atspi_tree::axRole(call, accessible) == ax::role::window) {
        auto address = atspi_tree::documentAddress(call, accessible);
        return address ? AXResult<AXValue>(AXValue(std::move(*address))) : AXError::noValue;
    }
    if (attribute == attribute::position || attribute == attribute::size) {
        if (!hasScreenCoordinates(call, accessible))
            return AXError::noValue;
        GObjectRef<AtspiComponent> component(
            call([&](GError**) { return atspi_accessible_get_component_iface(accessible); }));
        if (!component)
            return AXError::attributeUnsupported;
        auto frame = atspiRectOnScreen(
            call,
            [&](AtspiCoordType type, GError** error) {
                return atspi_component_get_extents(component.get(), type, error);
            },
            windowOrigin(call, accessible));
        if (!frame)
            return AXError::noValue;
        return attribute == attribute::position ? AXValue(frame->origin) : AXValue(frame->size);
    }
    return AXError::attributeUnsupported;
}

bool AtspiAttributes::isStillFocused(const AtspiDesktopHooks& hooks,
                                     const AtspiFocusSnapshot::Focus& focus) {
    return focus.element && stillFocused(hooks, focus.focusedAt, focus.pid);
}

std::optional<AXResult<AXValue>>
AtspiAttributes::answerFromFocus(const AtspiDesktopHooks& hooks,
                                 const AtspiFocusSnapshot::Focus& focus,
                                 const AtspiElement& element, std::string_view attribute) {
    if (element.kind() != AtspiElement::Kind::systemWide) {
        // A role read between two snapshots (a second apart) of the same element: roles do not
        // change while a field is being typed in.
        const bool roleRead = attribute == attribute::role || attribute == attribute::subrole;
        if (!roleRead || !focus.roles || !focus.element ||
            !element.sameElement(*focus.element.handle()))
            return std::nullopt;
        if (attribute == attribute::role)
            return AXValue(focus.roles->role);
        return focus.roles->subrole ? AXResult<AXValue>(AXValue(*focus.roles->subrole))
                                    : AXError::noValue;
    }
    const bool focused = focus.element && stillFocused(hooks, focus.focusedAt, focus.pid);
    if (attribute == attribute::focusedUIElement)
        return focused ? AXResult<AXValue>(AXValue(AtspiElement::copyOf(focus.element)))
                       : AXError::noValue;
    if (attribute == attribute::focusedApplication && focused && focus.application)
        return AXValue(AtspiElement::copyOf(focus.application));
    // No focus reported since we started, or not in the active window: the application of the
    // active window, which the bus is asked for.
    return std::nullopt;
}

std::optional<AXRestMark> AtspiAttributes::restMark() const {
    // Counted before what it covers is read: a change meanwhile makes the mark already old.
    const auto serial = DesktopActivity::instance().restChanges();
    auto held = snapshot_->held();
    if (!held)
        return std::nullopt;
    const auto& focus = *held->focus;
    // No focus the user still has: the answer comes from the active window's application, and
    // changes with the focus or the active window, both counted. So does a focus with no text.
    if (!focus.element || !stillFocused(hooks_, focus.focusedAt, focus.pid) || focus.textless)
        return AXRestMark{serial, held->until};
    const auto* field = atspiElement(focus.element);
    if (!field || !focus.application || !focus.roles)
        return std::nullopt;
    const auto quietUntil = texts_.quietUntil(*field);
    if (!quietUntil)
        return std::nullopt;
    return AXRestMark{serial, std::min(held->until, *quietUntil)};
}

void AtspiAttributes::renewRest(AtspiCall& call) {
    const auto focus = workOutFocus(call, true);
    if (focus.element && stillFocused(hooks_, focus.focusedAt, focus.pid))
        return;
    // The focus is then looked for in the active window's application, which a poll does.
    auto pid = hooks_.activeWindowProcess ? hooks_.activeWindowProcess() : std::nullopt;
    if (pid && applications_.withPid(call, *pid))
        DesktopActivity::instance().noteRestChange();
}

AtspiFocusSnapshot::Focus AtspiAttributes::workOutFocus(AtspiCall& call, bool readField) {
    const auto generation = snapshot_->generation();
    AtspiFocusSnapshot::Focus focus;
    if (auto* focused = focusedElement(call)) {
        focused = fieldOf(call, focused, focus_.reports());
        focus.pid = applications_.pidOf(call, focused);
        focus.element = AtspiElement::object(focused, focus.pid);
        focus.application = AtspiElement::object(applications_.of(call, focused), focus.pid);
        focus.focusedAt = focus_.focusedAt();
        // Read with a call of their own: a field that will not tell its role is still focused.
        AtspiCall roles(call.timeout());
        focus.roles = rolesOf(roles, focused, focus_.reports());
        AtspiCall interfaces(call.timeout());
        GObjectRef<AtspiText> text(
            interfaces([&](GError**) { return atspi_accessible_get_text_iface(focused); }));
        GObjectRef<AtspiValue> value(
            interfaces([&](GError**) { return atspi_accessible_get_value_iface(focused); }));
        focus.textless = !text && !value && !interfaces.failed();
    }
    if (!call.failed())
        snapshot_->publish(focus, generation);
    // The field's text is confirmed (or read again) on the same trip, so that a poll at rest
    // finds both fresh and comes here once a second, not twice.
    if (auto* field = focus.element ? atspiElement(focus.element)->accessible() : nullptr) {
        AtspiCall confirmation(call.timeout());
        readValue(confirmation, field, !readField);
    }
    return focus;
}

AXResult<AXValue> AtspiAttributes::readSystemWide(AtspiCall& call, const AtspiElement& systemWide,
                                                  std::string_view attribute) {
    if (attribute != attribute::focusedUIElement && attribute != attribute::focusedApplication)
        return AXError::attributeUnsupported;
    if (auto answer = answerFromFocus(hooks_, workOutFocus(call), systemWide, attribute))
        return std::move(*answer);
    auto pid = hooks_.activeWindowProcess ? hooks_.activeWindowProcess() : std::nullopt;
    return elementOrNoValue(pid ? applications_.withPid(call, *pid) : nullptr);
}

AtspiAccessible* AtspiAttributes::focusedElement(AtspiCall& call) {
    auto* focused = focus_.focused();
    if (!focused)
        return focused;
    // A page may give its field the keyboard without a report: searched again a few times, a
    // while apart, for as long as the report stands.
    const auto now = std::chrono::steady_clock::now();
    if (focusSearch_.report != focus_.reports()) {
        focusSearch_ = {focus_.reports(), 0, {}};
    } else if (focusSearch_.searches >= focusSearchesPerReport ||
               now - focusSearch_.last < focusSearchInterval) {
        return focused;
    }
    ++focusSearch_.searches;
    focusSearch_.last = now;
    // Its own call: the search must not fail the request that asked for the focus.
    AtspiCall search(call.timeout());
    // A window's text is that of its parts (Firefox reports focus on its frame while the page's
    // field has the keyboard); a container holds none.
    const auto role = atspi_tree::role(search, focused);
    const bool topLevel = role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_WINDOW ||
                          role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_APPLICATION;
    GObjectRef<AtspiText> text(
        search([&](GError**) { return atspi_accessible_get_text_iface(focused); }));
    if ((text && !topLevel) || search.failed())
        return focused;
    auto* application = applications_.of(search, focused);
    auto window = application ? atspi_tree::activeWindow(search, application) : nullptr;
    auto found = window ? atspi_tree::findFocused(search, window.get(), focused) : nullptr;
    if (found && !search.failed()) {
        focus_.adopt(found.get());
        return focus_.focused();
    }
    return focused;
}

AXResult<AXValue> AtspiAttributes::focusedElementOf(AtspiCall& call, AtspiAccessible* application) {
    if (auto* focused = focusedElement(call);
        focused && ATSPI_OBJECT(focused)->app == ATSPI_OBJECT(application)->app)
        return elementValue(fieldOf(call, focused, focus_.reports()));
    auto window = atspi_tree::activeWindow(call, application);
    if (!window)
        return AXError::noValue;
    auto found = atspi_tree::findFocused(call, window.get());
    // Focus given before we listened is found only by this search, which costs milliseconds:
    // kept as if reported, so the next reads find it at once.
    if (!found)
        return AXError::noValue;
    focus_.adopt(found.get());
    return elementValue(fieldOf(call, found.get(), focus_.reports()));
}

std::optional<AtspiTextField> AtspiAttributes::textField(AtspiCall& call,
                                                         AtspiAccessible* accessible) {
    const bool secret = atspi_tree::role(call, accessible) == ATSPI_ROLE_PASSWORD_TEXT;
    const auto toolkit = applications_.toolkitOf(call, accessible);
    return AtspiTextField::of(call, accessible, toolkit, secret,
                              applications_.unansweredBy(call, accessible));
}

std::optional<AtspiRichField>
AtspiAttributes::richField(AtspiCall& call, AtspiAccessible* accessible, bool* embeds) {
    bool embedding = false;
    auto rich =
        AtspiRichField::of(call, accessible, applications_.toolkitOf(call, accessible), embedding);
    if (embeds)
        *embeds = embedding;
    return rich;
}

AXResult<AXValue> AtspiAttributes::readValue(AtspiCall& call, AtspiAccessible* accessible,
                                             bool mayBeKept) {
    if (auto field = textField(call, accessible)) {
        if (field->secret())
            return AXError::noValue;
        auto text = mayBeKept ? texts_.text(call, accessible) : std::nullopt;
        if (!text && !call.failed()) {
            texts_.reading(accessible);
            bool embeds = false;
            if (auto rich = richField(call, accessible, &embeds))
                text = rich->text();
            else if (!call.failed())
                text = field->wholeText(call);
            // A page's text holds a mark for each element in it: never anyone's text.
            if (text && embeds)
                text = atspi_collection::withoutPlaceholders(*text);
            if (text)
                texts_.store(accessible, *text);
        }
        return text ? AXResult<AXValue>(AXValue(std::move(*text))) : AXError::noValue;
    }
    if (atspi_tree::role(call, accessible) == ATSPI_ROLE_PASSWORD_TEXT)
        return AXError::noValue;
    GObjectRef<AtspiValue> value(
        call([&](GError**) { return atspi_accessible_get_value_iface(accessible); }));
    if (!value)
        return AXError::noValue;
    auto text =
        takeString(call([&](GError** error) { return atspi_value_get_text(value.get(), error); }));
    if (text.empty())
        text = fmt::format("{}", call([&](GError** error) {
                               return atspi_value_get_current_value(value.get(), error);
                           }));
    return AXValue(std::move(text));
}

AXResult<AXValue> AtspiAttributes::readText(AtspiCall& call, AtspiAccessible* accessible,
                                            std::string_view attribute) {
    auto field = textField(call, accessible);
    if (!field)
        return AXError::attributeUnsupported;
    bool embeds = false;
    if (auto rich = richField(call, accessible, &embeds)) {
        if (attribute == attribute::numberOfCharacters)
            return AXValue(rich->utf16Length());
        auto range = rich->selectedRange(call);
        if (!range)
            return AXError::noValue;
        if (attribute == attribute::selectedTextRange)
            return AXValue(*range);
        return AXValue(std::string()); // the caret: nothing selected
    }
    if (call.failed())
        return *call.failure();
    // Its offsets count the marks of the elements in it: its text is read whole or not at all.
    if (embeds && attribute == attribute::numberOfCharacters)
        return AXError::attributeUnsupported;
    if (attribute == attribute::numberOfCharacters) {
        auto length = field->utf16Length(call);
        return length ? AXResult<AXValue>(AXValue(*length)) : AXError::noValue;
    }
    if (attribute == attribute::selectedTextRange) {
        auto range = field->selectedRange(call);
        return range ? AXResult<AXValue>(AXValue(*range)) : AXError::noValue;
    }
    auto text = field->selectedText(call);
    return text ? AXResult<AXValue>(AXValue(std::move(*text))) : AXError::noValue;
}

AXResult<AXValue> AtspiAttributes::readParameterized(AtspiCall& call, AtspiAccessible* accessible,
                                                     std::string_view attribute,
                                                     const AXValue& parameter) {
    const bool textAttribute =
        attribute == parameterized::stringForRange || attribute == parameterized::boundsForRange;
    if (!accessible || !textAttribute)
        return AXError::parameterizedAttributeUnsupported;
    const auto* range = parameter.get<AXRange>();
    if (!range)
        return AXError::illegalArgument;
    auto field = textField(call, accessible);
    if (!field)
        return AXError::parameterizedAttributeUnsupported;
    bool embeds = false;
    if (auto rich = richField(call, accessible, &embeds)) {
        if (attribute == parameterized::stringForRange)
            return rich->stringForRange(*range);
        if (!hasScreenCoordinates(call, accessible))
            return AXError::noValue;
        return rich->boundsForRange(call, *range, windowOrigin(call, accessible));
    }
    if (call.failed())
        return *call.failure();
    if (attribute == parameterized::stringForRange)
        return embeds ? AXError::parameterizedAttributeUnsupported
                      : field->stringForRange(call, *range);
    if (!hasScreenCoordinates(call, accessible))
        return AXError::noValue;
    return field->boundsForRange(call, *range, windowOrigin(call, accessible));
}

bool AtspiAttributes::isWritable(std::string_view attribute) {
    return attribute == attribute::value || attribute == attribute::selectedTextRange ||
           attribute == attribute::selectedText;
}

AXError AtspiAttributes::write(AtspiCall& call, AtspiAccessible* accessible,
                               std::string_view attribute, const AXValue& value) {
    if (!accessible || !isWritable(attribute))
        return AXError::attributeUnsupported;
    texts_.forget();
    auto field = textField(call, accessible);
    if (!field)
        return call.failure().value_or(AXError::attributeUnsupported);
    auto rich = richField(call, accessible);
    if (call.failed())
        return *call.failure();
    if (attribute == attribute::selectedTextRange) {
        const auto* range = value.get<AXRange>();
        if (!range)
            return AXError::illegalArgument;
        return rich ? rich->selectRange(call, *range) : field->selectRange(call, *range);
    }
    const auto* text = value.get<std::string>();
    if (!text)
        return AXError::illegalArgument;
    if (rich)
        return attribute == attribute::value ? rich->setWholeText(call, *text)
                                             : rich->replaceSelection(call, *text);
    return attribute == attribute::value ? field->setWholeText(call, *text)
                                         : field->replaceSelection(call, *text);
}

AXError AtspiAttributes::replaceText(AtspiCall& call, AtspiAccessible* accessible, AXRange range,
                                     const std::string& text) {
    if (!accessible)
        return AXError::attributeUnsupported;
    texts_.forget();
    auto field = textField(call, accessible);
    if (!field)
        return call.failure().value_or(AXError::attributeUnsupported);
    if (auto rich = richField(call, accessible))
        return rich->replaceRange(call, range, text);
    if (call.failed())
        return *call.failure();
    return field->replaceRange(call, range, text);
}

AXResult<Pid> AtspiAttributes::processId(AtspiCall& call, AtspiAccessible* accessible) {
    auto pid = applications_.pidOf(call, accessible);
    return pid ? AXResult<Pid>(*pid) : AXError::invalidUIElement;
}

std::optional<std::string> AtspiAttributes::applicationName(AtspiCall& call, Pid pid) {
    auto* application = applications_.withPid(call, pid);
    if (!application)
        return std::nullopt;
    auto name = nameOf(call, application);
    if (call.failed() || name.empty())
        return std::nullopt;
    return name;
}

bool AtspiAttributes::hasScreenCoordinates(AtspiCall& call, AtspiAccessible* accessible) {
    if (!hooks_.screenCoordinatesKnown)
        return true;
    auto pid = applications_.pidOf(call, accessible);
    return pid && hooks_.screenCoordinatesKnown(*pid);
}

AtspiWindowOrigin AtspiAttributes::windowOrigin(AtspiCall& call, AtspiAccessible* accessible) {
    if (!hooks_.windowOrigin)
        return {};
    return [this, &call, accessible]() -> std::optional<Point> {
        auto pid = applications_.pidOf(call, accessible);
        auto window = atspi_tree::windowOf(call, accessible);
        if (!pid || !window || call.failed())
            return std::nullopt;
        return hooks_.windowOrigin(*pid, nameOf(call, window.get()));
    };
}

} // namespace pennial
