#pragma once
// What the write-back is given for one trigger, which of its methods wrote the field, and why a
// keyboard paste would not run.

#include "text/accessible_element.hpp"

#include <exception>
#include <optional>
#include <string>

namespace pennial {

enum class WriteMethod {
    rangeReplacement = 1,
    fullReplacement,
    targetedKeyboardPaste,
    keyboardPaste
};

struct WriteBackRequest {
    // The trigger's field, used for every read and write.
    AccessibleElement element;
    // The range written over is 0..replacedLength (UTF-16 units): the text through the trigger.
    long long replacedLength = 0;
    std::string rangeReplacement;
    // The field's whole new value: rangeReplacement followed by the text after the trigger, so
    // every method leaves the field holding exactly this.
    std::string fullReplacement;
    // The field's text that the range was measured on.
    std::string originalText;
    // Whether each method's success is logged (the transform path) or not (a plain snippet).
    bool announce = true;
    // What the user asked for (the snippet, the transform's answer), for the clipboard when the
    // field cannot take it; none for rangeReplacement.
    std::optional<std::string> result;
};

class KeyboardPasteError : public std::exception {
public:
    enum class Kind {
        focusMoved,  // the keys would land in another field or application
        unavailable, // no clipboard or no way to synthesise keys
    };

    explicit KeyboardPasteError(Kind kind) : kind_(kind) {}
    Kind kind() const { return kind_; }
    const char* what() const noexcept override {
        return kind_ == Kind::focusMoved ? "focusMoved" : "unavailable";
    }

private:
    Kind kind_;
};

} // namespace pennial
