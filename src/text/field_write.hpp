#pragma once
// How a write into another application's field is judged. A write is made only over the text it
// was meant for; afterwards the field either took it (as the application normalises text), was
// left as it was, or holds something else: then the user typed, or the write was half applied.

#include <exception>
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

// Whether the field holds what was written, as applications store it: line endings as LF, line
// breaks dropped (or turned into spaces, as browsers do) by one-line fields, white space at line
// ends trimmed.
bool holdsWrittenText(std::string_view field, std::string_view intended, bool singleLine);

enum class WriteVerdict {
    landed,           // the field holds the intended text
    untouched,        // the field holds its earlier text
    landedThenEdited, // the field holds the intended text with the user's typing after it
    changed,          // anything else
};

WriteVerdict judgeWrite(std::string_view before, std::string_view intended, std::string_view now,
                        bool singleLine);

} // namespace pennial
