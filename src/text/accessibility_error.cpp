#include "text/accessibility_error.hpp"

namespace pennial {

namespace {

const char* caseName(AccessibilityError::Kind kind) {
    switch (kind) {
    case AccessibilityError::Kind::systemError:
        return "systemError";
    case AccessibilityError::Kind::permissionDenied:
        return "permissionDenied";
    case AccessibilityError::Kind::noFocusedElement:
        return "noFocusedElement";
    case AccessibilityError::Kind::invalidElement:
        return "invalidElement";
    case AccessibilityError::Kind::cannotReadValue:
        return "cannotReadValue";
    case AccessibilityError::Kind::cannotWriteValue:
        return "cannotWriteValue";
    }
    return "unknown";
}

} // namespace

AccessibilityError::AccessibilityError(Kind kind) : AccessibilityError(kind, {}) {}

AccessibilityError::AccessibilityError(Kind kind, std::string underlying)
    : kind_(kind), underlying_(std::move(underlying)), description_(caseName(kind)) {
    if (kind_ == Kind::systemError)
        description_ += "(" + underlying_ + ")";
}

AccessibilityError AccessibilityError::systemError(std::string underlying) {
    return AccessibilityError(Kind::systemError, std::move(underlying));
}

} // namespace pennial
