#pragma once
// Offsets into a field's text as the toolkits count them on the accessibility bus, and as the rest
// of the system does (UTF-16 code units). GTK and most toolkits count code points; Qt counts
// UTF-16 units, and takes an inserted text's length in them too, where GTK takes bytes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

enum class AtspiTextUnits { codePoints, utf16 };

// How an application's toolkit answers for its text.
struct AtspiToolkit {
    AtspiTextUnits units = AtspiTextUnits::codePoints;
    // Whether it answers a read of the text up to offset -1 with the whole text (GTK 4's entries
    // answer nothing): one call instead of counting the characters first.
    bool readsToTheEnd = false;
    // Whether it follows every character outside the Basic Multilingual Plane with a U+FEFF
    // (Firefox does, so that its code-point offsets count as UTF-16 units do): the padding is
    // never the user's text.
    bool padsAstralCharacters = false;
    // Whether its list of an element's children ("GetChildren") is the one its reads by index
    // give (GTK 4's list was seen without a stack page that its reads by index give).
    bool listsChildrenAtOnce = false;
    // Whether it answers a read of all of an element's properties at once ("GetAll"): Qt takes
    // the read for one of a property and reads past its arguments.
    bool answersAllProperties = false;
    // Whether it takes an inserted text's length in bytes though it counts offsets in UTF-16
    // units (LibreOffice): a length in units would cut a text holding characters past ASCII.
    bool takesInsertedBytes = false;
    // Whether it answers for a selection before its page has made it (Firefox: the page runs in
    // another process, where a key sent next may overtake it and meet the caret instead): a
    // selection is read back before the call that made it returns.
    bool makesSelectionsLate = false;
    // Whether it reports a selection in other offsets than it was given (Chromium, after a
    // character of several code points such as 👩‍👩‍👧): a selection read back is then
    // known made once it reads as one, wherever it reads.
    bool reportsSelectionsElsewhere = false;
    bool operator==(const AtspiToolkit&) const = default;
};

// From the toolkit name the application object reports ("Qt", "gtk", "GTK", ...), and its own
// name where an application counts otherwise than its toolkit.
AtspiToolkit toolkitNamed(std::string_view toolkitName, std::string_view applicationName = {});

// The length of a UTF-8 text in the toolkit's units.
std::int64_t lengthIn(std::string_view text, AtspiTextUnits units);

// A toolkit offset as UTF-16 units; offsets past the text end at its end.
std::int64_t toUtf16Offset(std::string_view text, std::int64_t offset, AtspiTextUnits units);

// A UTF-16 offset in the toolkit's units; none outside the text, or between the two halves of a
// character the toolkit counts as one.
std::optional<std::int64_t> fromUtf16Offset(std::string_view text, std::int64_t offset,
                                            AtspiTextUnits units);

// The text without the U+FEFF a padding toolkit puts after each character outside the Basic
// Multilingual Plane; any other U+FEFF stays.
std::string withoutAstralPadding(std::string_view text);

// The length to send with an inserted text.
std::int64_t insertionLength(std::string_view text, const AtspiToolkit& toolkit);

} // namespace pennial
