#pragma once
// A rich field (the editable root of a web editor, say) read and written as the user sees it: its
// text is the flattened text of its tree (FlatText), and every offset into it lands on the element
// that holds the character there. A range is written, and selected, only within one element: a
// write that would span elements is refused before anything is touched, never widened to the
// element that holds them all. Accessibility thread only.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_offsets.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_text.hpp"
#include "platform/linux/atspi/flat_text.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class AtspiRichField {
public:
    // None when the element is not an editable element whose text embeds others (a plain field,
    // a password field, a page that cannot be edited); the call holds a failure when the tree
    // could not be read. embeds: whether the element's text embeds others, editable or not.
    // Whether the element is such a field, without reading its tree.
    static bool isRich(AtspiCall& call, AtspiAccessible* accessible);
    static std::optional<AtspiRichField> of(AtspiCall& call, AtspiAccessible* accessible,
                                            AtspiToolkit toolkit, bool& embeds);

    const std::string& text() const { return flat_->text(); }
    std::int64_t utf16Length() const { return flat_->length(); }
    // The caret, as an empty selection; none when no element of the field holds it.
    std::optional<AXRange> selectedRange(AtspiCall& call) const;
    AXResult<AXValue> stringForRange(AXRange range) const;
    AXResult<AXValue> boundsForRange(AtspiCall& call, AXRange range,
                                     const AtspiWindowOrigin& origin) const;

    AXError selectRange(AtspiCall& call, AXRange range) const;
    // Writes only what differs between the range's text and text (their common start stays),
    // caret after the written text.
    AXError replaceRange(AtspiCall& call, AXRange range, const std::string& text) const;
    AXError replaceSelection(AtspiCall& call, const std::string& text) const;
    AXError setWholeText(AtspiCall& call, const std::string& text) const;

private:
    using Element = GObjectRef<AtspiAccessible>;

    AtspiRichField(std::shared_ptr<const FlatText> flat, std::vector<Element> elements,
                   AtspiToolkit toolkit);
    // The two ends of the range in one element; none outside the text or across elements.
    std::optional<std::pair<FlatText::Place, FlatText::Place>> inOneElement(AXRange range) const;
    AtspiAccessible* element(const FlatText::Place& place) const;
    std::optional<std::int64_t> caretOffset(AtspiCall& call) const;

    std::shared_ptr<const FlatText> flat_;
    std::shared_ptr<std::vector<Element>> elements_; // in the flattened text's node order
    AtspiToolkit toolkit_;
};

} // namespace pennial
