#pragma once
// How a write into another application's field is judged. A write is made only over the text it
// was meant for; afterwards the field either took it (as the application normalises text), was
// left as it was, or holds something else: then the user typed, or the write was half applied.

#include "platform/accessibility.hpp"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// The field no longer held the text the write was made for: nothing was written.
class FieldChangedError : public std::exception {
public:
    const char* what() const noexcept override { return "fieldChanged"; }
};

// A write was half applied and the field could not be brought back to its earlier text.
class FieldNotRestoredError : public std::exception {
public:
    const char* what() const noexcept override { return "fieldNotRestored"; }
};

// The field kept only the start of what was written (a field with a maximum length): the write
// failed, though something of it landed.
class FieldCutShortError : public std::exception {
public:
    const char* what() const noexcept override { return "fieldCutShort"; }
};

// Whether the field holds what was written, as applications store it: line endings as LF, line
// breaks dropped (or turned into spaces, as browsers do) by one-line fields, white space at line
// ends trimmed.
bool holdsWrittenText(std::string_view field, std::string_view intended, bool singleLine);

enum class WriteVerdict {
    landed,           // the field holds the intended text
    untouched,        // the field holds its earlier text
    cutShort,         // the field holds the intended text less the end of what was written
    landedThenEdited, // the field holds the intended text with the user's typing after it
    changed,          // anything else
};

// written is where the written text stands in intended (UTF-16); without it a write cut short is
// not told from one edited since.
WriteVerdict judgeWrite(std::string_view before, std::string_view intended, std::string_view now,
                        bool singleLine, std::optional<AXRange> written = std::nullopt);

// A keyboard paste is checked against the field and then sent; the user's edit can land between
// the two (nothing on the accessibility bus compares and writes at once). Then the paste went in
// at the user's caret instead of over the selection, or the user's keys replaced the selection
// made for it. This is the text the user would have had without the paste, and where their caret
// belongs in it.
struct UserTextAroundPaste {
    std::string text;
    std::optional<std::int64_t> caret; // UTF-16 offset
};

struct PasteOutcome {
    std::string_view original;               // the field when the paste was prepared
    AXRange selected;                        // the selection made for the paste (UTF-16)
    std::optional<std::int64_t> caretBefore; // the user's caret before that selection
    std::string_view pasted;                 // the text sent; empty when no paste was sent
    std::string_view intended;               // the field once the paste landed
    std::string_view now;                    // the field after it
    std::optional<std::int64_t> caretNow;    // the caret after it
};

// None when the field shows no such interleaving (nothing of ours to take out of it), or when the
// paste landing and the user typing after it explains the field with less typing (with as much,
// the caret tells: a paste leaves it after the pasted text, typing after the typed keys).
std::optional<UserTextAroundPaste> userTextAroundPaste(const PasteOutcome& outcome);

} // namespace pennial
