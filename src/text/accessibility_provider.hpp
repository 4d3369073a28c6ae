#pragma once
// The one interface through which the rest of the system reads and writes other applications'
// text: the focused element, its value, whole and ranged writes, the password-field test, a
// point near the caret, and the context captured for a transform. Ranges count UTF-16 code units
// of the element's value; points are global screen coordinates with the origin at the top left.

#include "base/runtime.hpp"
#include "platform/accessibility.hpp"
#include "text/accessible_element.hpp"
#include "text/app_context.hpp"

#include <optional>
#include <string>

namespace pennial {

class AccessibilityProvider {
public:
    virtual ~AccessibilityProvider() = default;

    // Whether this process is trusted for accessibility; never prompts.
    virtual bool checkPermissions() = 0;
    // Asks the system to show its trust prompt; returns at once.
    virtual void requestPermissions() = 0;
    // The element with keyboard focus in the focused application.
    virtual Awaitable<std::optional<AccessibleElement>> getFocusedElement() = 0;
    // The element's current text (its "AXValue").
    virtual Awaitable<std::string> getValue(AccessibleElement element) = 0;
    // The writes below take the text the field must hold for them to go ahead (none: any text).
    // It is compared in the step that writes; a field holding anything else throws
    // FieldChangedError with nothing written. After writing, a field that holds neither its
    // earlier text nor the new one (as the application stores it) throws FieldChangedError too.

    // Replaces the whole text and puts the caret at its end; throws cannotWriteValue when the
    // field keeps its text, FieldCutShortError when it kept only the start of it.
    virtual Awaitable<void> setValue(std::string text, AccessibleElement element,
                                     std::optional<std::string> expected = std::nullopt) = 0;
    // A point just right of the caret, vertically centred on its line, with fallbacks.
    virtual Awaitable<Point> getCaretPosition(AccessibleElement element) = 0;
    // The element's top-left corner.
    virtual Awaitable<Point> getPosition(AccessibleElement element) = 0;
    // Whether the element is a password field; never throws.
    virtual Awaitable<bool> isSecureField(AccessibleElement element) = 0;
    virtual Awaitable<void> selectRange(AXRange range, AccessibleElement element,
                                        std::optional<std::string> expected = std::nullopt) = 0;
    // Replaces the range with text and puts the caret after it; throws cannotWriteValue when the
    // field shows the edit did not take. A replacement of which only the removal landed is undone
    // first; when that fails too, FieldNotRestoredError. A field that kept only the start of the
    // text: FieldCutShortError.
    virtual Awaitable<void> replaceRange(AXRange range, std::string text, AccessibleElement element,
                                         std::optional<std::string> expected = std::nullopt) = 0;
    // Where the user is typing, for the transform request; never throws.
    virtual Awaitable<std::optional<AppContext>> captureContext(AccessibleElement element) = 0;
    // See Accessibility::restMark: what the reads of the focused element, its password test and
    // its value answered from, while the platform can tell. Any thread.
    virtual std::optional<AXRestMark> restMark() const { return std::nullopt; }
    // See Accessibility::restSerial, restCounter and renewRest.
    virtual std::optional<std::uint64_t> restSerial() const {
        return AXRestMark::serialOf(restMark());
    }
    virtual const std::atomic<std::uint64_t>* restCounter() const { return nullptr; }
    // See Accessibility::renewRest.
    virtual bool renewRest() { return false; }
};

} // namespace pennial
