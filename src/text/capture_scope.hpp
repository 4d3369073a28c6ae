#pragma once
// What every walk of a context capture works with: the facility it reads through and the
// capture's deadline. Time-outs set through the scope never reach past the deadline, no call
// starts after it, and they end with the scope: copies of an element share its time-out, so a
// handle the capture was given must not keep the capture's last, shortest one.

#include "platform/accessibility.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pennial {

class CaptureDeadline {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    // The clock is injectable so that tests can run on the simulated desktop's time.
    static CaptureDeadline after(Clock::duration budget, Now now = Clock::now);
    // For walks outside a capture.
    static CaptureDeadline never();

    bool expired() const;
    Clock::duration remaining() const;

private:
    CaptureDeadline(Clock::time_point end, Now now) : end_(end), now_(std::move(now)) {}

    Clock::time_point end_;
    Now now_;
};

// Calls go through the scope: once the deadline has passed it makes none, and answers as a call
// that ran out of time would. A capture's scope may take the tree as it was first read: an
// attribute read, a search or a batch of texts asked for a second time is then answered from the
// first answer (the strategies walk the same window one after another), unless that call ran out
// of time.
class CaptureScope {
public:
    enum class Answers { askEachTime, keepFirst };

    CaptureScope(Accessibility& accessibility, CaptureDeadline deadline,
                 Answers answers = Answers::askEachTime)
        : accessibility_(accessibility), deadline_(std::move(deadline)),
          keepAnswers_(answers == Answers::keepFirst) {}
    // Gives every element whose time-out the scope set the platform's default again.
    ~CaptureScope();
    CaptureScope(const CaptureScope&) = delete;
    CaptureScope& operator=(const CaptureScope&) = delete;

    const CaptureDeadline& deadline() const { return deadline_; }
    bool expired() const { return deadline_.expired(); }

    // Sets the element's messaging time-out, shortened to what is left of the deadline.
    void setTimeout(const AXElement& element, std::chrono::duration<double> timeout) const;

    // With kept answers, the same reference for the same process throughout the scope.
    AXElement applicationElement(Pid pid) const;
    // Whether the platform's elements have text markers at all.
    bool offersTextMarkers() const { return accessibility_.offersTextMarkers(); }
    // The elements under root of the role (or, with bySubrole, the subrole) asked, at most
    // maxDepth levels down, with their depth (see Accessibility::findElements).
    AXResult<std::vector<AXFoundElement>> findElements(const AXElement& root, std::string_view name,
                                                       bool bySubrole, int maxDepth) const;
    AXResult<AXValue> read(const AXElement& element, std::string_view attribute) const;
    AXResult<AXAttributeResults> readMany(const AXElement& element,
                                          const std::vector<std::string>& attributes) const;
    AXResult<AXValue> readParameterized(const AXElement& element, std::string_view attribute,
                                        const AXValue& parameter) const;
    AXError write(const AXElement& element, std::string_view attribute, const AXValue& value) const;
    // The platform's batch of the texts under root (see Accessibility::collectTexts).
    AXResult<std::vector<std::string>> collectTexts(const AXElement& root, const AXElement& except,
                                                    int maxElements, bool contentOnly) const;

    // With kept answers, reads root's subtree in a batch where the platform has one, and keeps
    // its answers as if each had been read on its own: a walk that follows then asks the
    // application only for what the batch did not answer.
    void readAhead(const AXElement& root, const AXSubtreeLimits& limits) const;
    // The field the capture is around, which no harvest reads (nor, then, a read ahead).
    void setFocusedElement(AXElement element) { focusedElement_ = std::move(element); }
    const AXElement& focusedElement() const { return focusedElement_; }

    std::optional<std::string> readString(const AXElement& element,
                                          std::string_view attribute) const;
    std::optional<std::int64_t> readInteger(const AXElement& element,
                                            std::string_view attribute) const;
    std::optional<AXElement> readElement(const AXElement& element,
                                         std::string_view attribute) const;
    std::optional<std::vector<AXElement>> readElements(const AXElement& element,
                                                       std::string_view attribute) const;

private:
    // Answers kept by the handle of the element asked and what was asked, with the element (its
    // handle must outlive the key).
    template <class Result>
    using Kept = std::map<std::pair<const void*, std::string>, std::pair<AXElement, Result>>;
    template <class Result, class Call>
    Result remembered(Kept<Result>& answers, const AXElement& element, std::string key,
                      Call call) const;

    Accessibility& accessibility_;
    CaptureDeadline deadline_;
    bool keepAnswers_;
    AXElement focusedElement_;
    mutable std::vector<AXElement> timed_; // elements whose time-out the scope set
    mutable std::map<Pid, AXElement> applications_;
    mutable Kept<AXResult<AXValue>> reads_;
    mutable Kept<AXResult<std::vector<std::string>>> texts_;
    mutable Kept<AXResult<std::vector<AXFoundElement>>> found_;
};

} // namespace pennial
