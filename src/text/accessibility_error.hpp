#pragma once
// Failures of the accessibility layer. The text monitor sorts them into transient ones
// (permissionDenied, noFocusedElement, cannotReadValue) and the rest.

#include <exception>
#include <string>

namespace pennial {

class AccessibilityError : public std::exception {
public:
    enum class Kind {
        systemError,      // a platform failure outside the cases below
        permissionDenied, // the platform refused service to this process (-25211)
        noFocusedElement,
        invalidElement,
        cannotReadValue,
        cannotWriteValue, // a write was refused or did not take effect
    };

    explicit AccessibilityError(Kind kind);
    static AccessibilityError systemError(std::string underlying);

    Kind kind() const { return kind_; }
    const std::string& underlying() const { return underlying_; }
    // The case as logs print it: "permissionDenied", "systemError(<underlying>)".
    const char* what() const noexcept override { return description_.c_str(); }

    bool operator==(const AccessibilityError& other) const {
        return kind_ == other.kind_ && underlying_ == other.underlying_;
    }

private:
    AccessibilityError(Kind kind, std::string underlying);

    Kind kind_;
    std::string underlying_;
    std::string description_;
};

} // namespace pennial
