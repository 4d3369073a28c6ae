#pragma once
// A text element's text, selection and character bounds, read and written with offsets in UTF-16
// units and converted to its toolkit's units at this edge. Password-text elements are never asked
// for their text. Accessibility thread only.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_call.hpp"
#include "platform/linux/atspi/atspi_offsets.hpp"
#include "platform/linux/atspi/atspi_ref.hpp"
#include "platform/linux/atspi/atspi_unanswered_calls.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

// Where the element's window lies on the screen: for toolkits that give only window coordinates.
using AtspiWindowOrigin = std::function<std::optional<Point>()>;

class AtspiTextField {
public:
    // None when the element has no text. unanswered: what its application is known not to
    // answer, learnt further here.
    static std::optional<AtspiTextField>
    of(AtspiCall& call, AtspiAccessible* accessible, AtspiToolkit toolkit, bool secret,
       std::shared_ptr<AtspiUnansweredCalls> unanswered = nullptr);

    bool secret() const { return secret_; }

    // Reads; none when the field answers nothing (the call says why) or keeps its text secret.
    std::optional<std::string> wholeText(AtspiCall& call) const;
    std::optional<std::int64_t> utf16Length(AtspiCall& call) const;
    std::optional<AXRange> selectedRange(AtspiCall& call) const;
    std::optional<std::string> selectedText(AtspiCall& call) const;
    AXResult<AXValue> stringForRange(AtspiCall& call, AXRange range) const;
    AXResult<AXValue> boundsForRange(AtspiCall& call, AXRange range,
                                     const AtspiWindowOrigin& origin) const;

    // Writes. A selection of length 0 is the caret.
    AXError selectRange(AtspiCall& call, AXRange range) const;
    // Replaces the selection (inserts at the caret without one); the caret follows the text.
    AXError replaceSelection(AtspiCall& call, const std::string& text) const;
    AXError setWholeText(AtspiCall& call, const std::string& text) const;
    // Replaces the range with text and puts the caret after it, without a selection: only what
    // differs from the text already there is removed and inserted.
    AXError replaceRange(AtspiCall& call, AXRange range, const std::string& text) const;

private:
    struct Span {
        std::int64_t start = 0; // in the toolkit's units
        std::int64_t end = 0;
        bool operator==(const Span&) const = default;
    };

    AtspiTextField(AtspiAccessible* accessible, GObjectRef<AtspiText> text, AtspiToolkit toolkit,
                   bool secret, std::shared_ptr<AtspiUnansweredCalls> unanswered);
    std::int64_t characterCount(AtspiCall& call) const;
    // The text from the start up to end toolkit units (at most the whole text).
    std::optional<std::string> textUpTo(AtspiCall& call, std::int64_t end) const;
    // The range in the toolkit's units; none when it does not lie in the text.
    std::optional<Span> toSpan(AtspiCall& call, AXRange range) const;
    std::optional<AXRange> toRange(AtspiCall& call, Span span) const;
    // The current selection, or the caret as an empty one.
    std::optional<Span> selection(AtspiCall& call) const;
    // Adds span as a selection; whether the field then has it.
    bool addSelection(AtspiCall& call, Span span) const;
    // Removes the span, inserts text (toolkit form) in its place and puts the caret after it, or
    // after the keys typed beyond the span.
    AXError writeOver(AtspiCall& call, AtspiEditableText& editable, Span span,
                      const std::string& inserted) const;
    // Moves the caret; whether it is then there.
    bool moveCaret(AtspiCall& call, std::int64_t offset) const;
    // Text as the rest of the system sees it, and as the toolkit is given it.
    std::string fromToolkit(std::string text) const;
    std::string toToolkit(const std::string& text) const;

    AtspiAccessible* accessible_;
    GObjectRef<AtspiText> text_;
    AtspiToolkit toolkit_;
    AtspiTextUnits units_;
    bool readsToTheEnd_;
    bool padded_;
    bool secret_;
    std::shared_ptr<AtspiUnansweredCalls> unanswered_;
};

// A rectangle the element reports through getter, on the screen: in screen coordinates where the
// toolkit gives them, else in window coordinates moved by the window's origin.
std::optional<Rect>
atspiRectOnScreen(AtspiCall& call,
                  const std::function<AtspiRect*(AtspiCoordType, GError**)>& getter,
                  const AtspiWindowOrigin& origin);

} // namespace pennial
