#include "platform/linux/atspi_attributes.hpp"

#include "platform/ax_names.hpp"
#include "platform/linux/atspi_tree.hpp"

#include <fmt/format.h>

namespace pennial {

namespace attribute = ax::attribute;
namespace parameterized = ax::parameterized;

namespace {

// The walks that read children take at most this many of one element; lists that long are rows
// of data, and the walks stop well before.
constexpr int childLimit = 500;

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

} // namespace

AtspiAccessible* AtspiAttributes::resolve(AtspiCall& call, AtspiElement& element) {
    if (element.kind() == AtspiElement::Kind::systemWide)
        return nullptr;
    auto* accessible = element.accessible();
    if (accessible && !atspi_tree::isGone(accessible))
        return accessible;
    if (element.kind() == AtspiElement::Kind::application)
        if (auto* application = applications_.withPid(call, element.pid())) {
            element.resolve(application);
            return application;
        }
    call.fail(AXError::invalidUIElement);
    return nullptr;
}

AXResult<AXValue> AtspiAttributes::read(AtspiCall& call, const AtspiElement& element,
                                        AtspiAccessible* accessible, std::string_view attribute) {
    if (element.kind() == AtspiElement::Kind::systemWide)
        return readSystemWide(call, attribute);
    if (attribute == attribute::value)
        return readValue(call, accessible);
    if (attribute == attribute::numberOfCharacters || attribute == attribute::selectedTextRange ||
        attribute == attribute::selectedText)
        return readText(call, accessible, attribute);
    if (attribute == attribute::role)
        return AXValue(atspi_tree::axRole(call, accessible));
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

AtspiAccessible* AtspiAttributes::currentFocus(AtspiCall& call) {
    auto* focused = focus_.focused();
    auto activated =
        focused && hooks_.activeWindowSince ? hooks_.activeWindowSince() : std::nullopt;
    if (!activated || focus_.focusedAt() >= *activated)
        return focused;
    // Reported before the active window changed: the window may be one of an application that
    // reports nothing (a terminal, say), and writing into the field would be writing into a
    // window the user left. It is still the user's when the active window is its application's
    // (whose report may simply have come in first).
    auto active = hooks_.activeWindowProcess ? hooks_.activeWindowProcess() : std::nullopt;
    return active && applications_.pidOf(call, focused) == active ? focused : nullptr;
}

AXResult<AXValue> AtspiAttributes::readSystemWide(AtspiCall& call, std::string_view attribute) {
    if (attribute == attribute::focusedUIElement)
        return elementOrNoValue(currentFocus(call));
    if (attribute == attribute::focusedApplication) {
        if (auto* focused = currentFocus(call))
            if (auto* application = applications_.of(call, focused))
                return elementValue(application);
        // No focus reported since we started, or not in the active window: the application of
        // the active window.
        auto pid = hooks_.activeWindowProcess ? hooks_.activeWindowProcess() : std::nullopt;
        return elementOrNoValue(pid ? applications_.withPid(call, *pid) : nullptr);
    }
    return AXError::attributeUnsupported;
}

AXResult<AXValue> AtspiAttributes::focusedElementOf(AtspiCall& call, AtspiAccessible* application) {
    if (auto* focused = focus_.focused();
        focused && ATSPI_OBJECT(focused)->app == ATSPI_OBJECT(application)->app)
        return elementValue(focused);
    auto window = atspi_tree::activeWindow(call, application);
    if (!window)
        return AXError::noValue;
    return elementOrNoValue(atspi_tree::findFocused(call, window.get()).get());
}

std::optional<AtspiTextField> AtspiAttributes::textField(AtspiCall& call,
                                                         AtspiAccessible* accessible) {
    const bool secret = atspi_tree::role(call, accessible) == ATSPI_ROLE_PASSWORD_TEXT;
    const auto units = applications_.textUnitsOf(call, accessible);
    return AtspiTextField::of(call, accessible, units, secret);
}

AXResult<AXValue> AtspiAttributes::readValue(AtspiCall& call, AtspiAccessible* accessible) {
    if (auto field = textField(call, accessible)) {
        auto text = field->wholeText(call);
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
    if (attribute == parameterized::stringForRange)
        return field->stringForRange(call, *range);
    return field->boundsForRange(call, *range, windowOrigin(call, accessible));
}

AXError AtspiAttributes::write(AtspiCall& call, AtspiAccessible* accessible,
                               std::string_view attribute, const AXValue& value) {
    const bool textAttribute = attribute == attribute::value ||
                               attribute == attribute::selectedTextRange ||
                               attribute == attribute::selectedText;
    if (!accessible || !textAttribute)
        return AXError::attributeUnsupported;
    auto field = textField(call, accessible);
    if (!field)
        return call.failure().value_or(AXError::attributeUnsupported);
    if (attribute == attribute::selectedTextRange) {
        const auto* range = value.get<AXRange>();
        return range ? field->selectRange(call, *range) : AXError::illegalArgument;
    }
    const auto* text = value.get<std::string>();
    if (!text)
        return AXError::illegalArgument;
    return attribute == attribute::value ? field->setWholeText(call, *text)
                                         : field->replaceSelection(call, *text);
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
