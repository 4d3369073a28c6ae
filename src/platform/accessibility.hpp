#pragma once
// The accessibility facility: other applications' element trees, read and written by attribute
// name ("AXValue", "AXSelectedTextRange", ...; see ax_names.hpp). Every call is synchronous and may
// block for up to the element's messaging time-out; implementations are safe to call from any
// thread (the real one funnels its calls onto a thread of its own).

#include "platform/geometry.hpp"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pennial {

using Pid = std::int32_t;

// Result codes of the accessibility calls, with the numeric values logs and callers know.
enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    cannotComplete = -25204, // also what a call answers when its messaging time-out runs out
    attributeUnsupported = -25205,
    actionUnsupported = -25206,
    notImplemented = -25208,
    apiDisabled = -25211, // this process may not use accessibility (not trusted, bus off)
    noValue = -25212,
    parameterizedAttributeUnsupported = -25213,
};

constexpr std::int32_t errorCode(AXError error) {
    return static_cast<std::int32_t>(error);
}

// A range of a text, counted in UTF-16 code units.
struct AXRange {
    std::int64_t location = 0;
    std::int64_t length = 0;
    bool operator==(const AXRange&) const = default;
};

// Positions in a document's text that only the application that handed them out understands.
struct AXTextMarker {
    std::string data;
    bool operator==(const AXTextMarker&) const = default;
};
struct AXTextMarkerRange {
    std::string data;
    bool operator==(const AXTextMarkerRange&) const = default;
};

// What an implementation keeps for one element reference (an object path, a tree node).
class AXElementHandle {
public:
    virtual ~AXElementHandle() = default;
    // The platform's element equality: both handles name the same element.
    virtual bool sameElement(const AXElementHandle& other) const = 0;
};

// A reference to one element of another application's tree. Copies share the handle, and with it
// the messaging time-out set on it.
class AXElement {
public:
    AXElement() = default;
    explicit AXElement(std::shared_ptr<AXElementHandle> handle) : handle_(std::move(handle)) {}

    AXElementHandle* handle() const { return handle_.get(); }
    explicit operator bool() const { return handle_ != nullptr; }
    bool operator==(const AXElement& other) const;

private:
    std::shared_ptr<AXElementHandle> handle_;
};

// An attribute's value: text, number, Boolean, element, list, or one of the boxed values.
class AXValue {
public:
    using List = std::vector<AXValue>;
    using Storage = std::variant<std::string, bool, std::int64_t, double, AXElement, List, AXRange,
                                 Point, Size, Rect, AXTextMarker, AXTextMarkerRange>;

    AXValue(std::string text) : storage_(std::move(text)) {}
    AXValue(std::string_view text) : storage_(std::string(text)) {}
    AXValue(const char* text) : storage_(std::string(text)) {}
    AXValue(bool flag) : storage_(flag) {}
    AXValue(int number) : storage_(std::int64_t{number}) {}
    AXValue(std::int64_t number) : storage_(number) {}
    AXValue(double number) : storage_(number) {}
    AXValue(AXElement element) : storage_(std::move(element)) {}
    AXValue(List list) : storage_(std::move(list)) {}
    AXValue(AXRange range) : storage_(range) {}
    AXValue(Point point) : storage_(point) {}
    AXValue(Size size) : storage_(size) {}
    AXValue(Rect rect) : storage_(rect) {}
    AXValue(AXTextMarker marker) : storage_(std::move(marker)) {}
    AXValue(AXTextMarkerRange range) : storage_(std::move(range)) {}

    template <class T> const T* get() const { return std::get_if<T>(&storage_); }
    const Storage& storage() const { return storage_; }

    std::optional<std::string> asString() const;
    // Integers, and floating-point values that hold one.
    std::optional<std::int64_t> asInteger() const;
    std::optional<AXElement> asElement() const;
    // A list's elements in order (entries that are not elements are left out); none for a non-list.
    std::optional<std::vector<AXElement>> asElements() const;

    bool operator==(const AXValue& other) const { return storage_ == other.storage_; }

private:
    Storage storage_;
};

// The outcome of one call: a code and, on success, usually a value. A successful call may still
// yield no value; callers treat that as a failed read.
template <class T> class AXResult {
public:
    AXResult(AXError error) : error_(error) {}
    AXResult(T value) : error_(AXError::success), value_(std::move(value)) {}

    AXError error() const { return error_; }
    bool ok() const { return error_ == AXError::success && value_.has_value(); }
    const T* value() const { return value_ ? &*value_ : nullptr; }
    T* value() { return value_ ? &*value_ : nullptr; }

private:
    AXError error_;
    std::optional<T> value_;
};

using AXAttributeResults = std::vector<AXResult<AXValue>>;

// An element a search found, and how many levels below the search's root it lies.
struct AXFoundElement {
    AXElement element;
    int depth = 0;
};

// One element of a subtree read in a batch, with the answers the batch got for it, by attribute.
struct AXSubtreeElement {
    AXElement element;
    std::vector<std::pair<std::string, AXResult<AXValue>>> answers;
};

// What a subtree read leaves out: elements further down than maxDepth levels (root at level 0),
// elements past maxElements, except and what lies inside it, and what lies inside elements of the
// roles in leafRoles.
struct AXSubtreeLimits {
    int maxDepth = 0;
    int maxElements = 0;
    AXElement except;
    std::vector<std::string> leafRoles;
};

enum class TrustCheck { silent, prompt };

// What the answers to the reads a poll of a field at rest makes (the focused application and
// element, the element's process, role and subrole, and its text) rest on, where the platform
// answers them from what it keeps: while the serial stays the same and until comes, each of those
// reads answers as it did. A read that finds what is kept unchanged extends until, not the serial.
struct AXRestMark {
    std::uint64_t serial = 0;
    std::chrono::steady_clock::time_point until;
    // Whether current, a mark taken now, says the reads still answer as they did at this one.
    bool stillHolds(const std::optional<AXRestMark>& current) const {
        return current && current->serial == serial &&
               std::chrono::steady_clock::now() < current->until;
    }
    static std::optional<std::uint64_t> serialOf(const std::optional<AXRestMark>& mark) {
        return mark ? std::optional(mark->serial) : std::nullopt;
    }
};

class Accessibility {
public:
    virtual ~Accessibility() = default;

    // Whether this process may use accessibility; with prompt, the system also asks the user to
    // allow it (and the call returns at once).
    virtual bool isProcessTrusted(TrustCheck check) = 0;

    virtual AXElement systemWideElement() = 0;
    virtual AXElement applicationElement(Pid pid) = 0;

    virtual AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                                 std::string_view attribute) = 0;
    // Several attributes in one request; each entry answers for one attribute, in order.
    virtual AXResult<AXAttributeResults>
    copyAttributeValues(const AXElement& element, const std::vector<std::string>& attributes) = 0;
    virtual AXResult<AXValue> copyParameterizedAttributeValue(const AXElement& element,
                                                              std::string_view attribute,
                                                              const AXValue& parameter) = 0;
    virtual AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                                      const AXValue& value) = 0;
    // Replaces the text in range with text, the caret after it: by default by selecting the range
    // and writing the selected text; a platform that can replace a range directly does so in
    // fewer requests.
    virtual AXError replaceText(const AXElement& element, AXRange range, const std::string& text);

    // How long calls through this reference may wait for the application before they answer
    // cannotComplete.
    virtual AXError setMessagingTimeout(const AXElement& element,
                                        std::chrono::duration<double> timeout) = 0;

    virtual AXResult<Pid> processId(const AXElement& element) = 0;

    // The texts shown under root (itself included), in document order, gathered in a few
    // requests: each element's whole text, password fields and except (with what lies inside it)
    // left out, at most maxElements of them; with contentOnly, toolbars, menus, banners and
    // navigation left out too. attributeUnsupported where the platform or the application has no
    // such batch: the caller then walks the tree element by element.
    virtual AXResult<std::vector<std::string>> collectTexts(const AXElement& /*root*/,
                                                            const AXElement& /*except*/,
                                                            int /*maxElements*/,
                                                            bool /*contentOnly*/) {
        return AXError::attributeUnsupported;
    }

    // The elements under root (itself included, at depth 0) whose "AXRole" is name, or with
    // bySubrole whose "AXSubrole" is, at most maxDepth - 1 levels down, in document order with
    // their depths, found in a few requests. attributeUnsupported where the platform or the
    // application has no such search: the caller then walks the tree.
    virtual AXResult<std::vector<AXFoundElement>> findElements(const AXElement& /*root*/,
                                                               std::string_view /*name*/,
                                                               bool /*bySubrole*/,
                                                               int /*maxDepth*/) {
        return AXError::attributeUnsupported;
    }

    // Root and the elements under it, level by level, each with what the platform read of
    // "AXRole", "AXTitle", "AXDescription", "AXChildren" and "AXValue" in a few round trips (an
    // attribute it could not read in the batch is not answered; a read of it answers). Root comes
    // first, as given; the children answers hold the very references listed. attributeUnsupported
    // where the platform has no such batch.
    virtual AXResult<std::vector<AXSubtreeElement>> readSubtree(const AXElement& /*root*/,
                                                                const AXSubtreeLimits& /*limits*/) {
        return AXError::attributeUnsupported;
    }

    // Whether elements may have text markers ("AXStartTextMarker" and the reads of ranges of
    // them); where none ever does, nothing is asked for them.
    virtual bool offersTextMarkers() const { return true; }

    // None while some of those reads would go to the application, or where the platform cannot
    // tell. Any thread.
    virtual std::optional<AXRestMark> restMark() const { return std::nullopt; }
    // The serial a mark taken now would carry, even while there is none (the kept answers are
    // then too old, say): reads made after it that leave it unchanged found nothing new. Any
    // thread.
    virtual std::optional<std::uint64_t> restSerial() const {
        return AXRestMark::serialOf(restMark());
    }
    // Where every change to what a mark covers moves one counter, that counter: a mark then still
    // holds while the counter stays at its serial, until its until. Read on every tick of a poll
    // at rest, where a whole mark would cost more than the tick. Any thread.
    virtual const std::atomic<std::uint64_t>* restCounter() const { return nullptr; }
    // Starts the reads that a mark's end calls for, off the caller's thread, as the next poll's
    // reads would make them: what they find unchanged extends the mark, with the same serial.
    // False where the platform cannot (the next poll then reads). Any thread.
    virtual bool renewRest() { return false; }
};

} // namespace pennial
