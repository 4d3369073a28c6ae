#pragma once
// The accessibility facility on the desktop's accessibility bus (AT-SPI). Every library call runs
// on the accessibility thread; callers on any thread wait for their answer, except for what is
// asked on every poll and already known here (the focus that thread last published, the process
// of an element handed out with it, the flags the bus has no equivalent for). Trust is the
// desktop's accessibility switch; elements are equal when they name the same object of the same
// application.

#include "platform/accessibility.hpp"
#include "platform/linux/atspi/atspi_attributes.hpp"

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace pennial {

class AtspiAccessibility : public Accessibility {
public:
    explicit AtspiAccessibility(AtspiDesktopHooks hooks = {});
    ~AtspiAccessibility() override;
    AtspiAccessibility(const AtspiAccessibility&) = delete;
    AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

    bool isProcessTrusted(TrustCheck check) override;
    AXElement systemWideElement() override;
    AXElement applicationElement(Pid pid) override;
    AXResult<AXValue> copyAttributeValue(const AXElement& element,
                                         std::string_view attribute) override;
    AXResult<AXAttributeResults>
    copyAttributeValues(const AXElement& element,
                        const std::vector<std::string>& attributes) override;
    AXResult<AXValue> copyParameterizedAttributeValue(const AXElement& element,
                                                      std::string_view attribute,
                                                      const AXValue& parameter) override;
    AXError setAttributeValue(const AXElement& element, std::string_view attribute,
                              const AXValue& value) override;
    AXError replaceText(const AXElement& element, AXRange range, const std::string& text) override;
    AXError setMessagingTimeout(const AXElement& element,
                                std::chrono::duration<double> timeout) override;
    AXResult<Pid> processId(const AXElement& element) override;
    AXResult<std::vector<std::string>> collectTexts(const AXElement& root, const AXElement& except,
                                                    int maxElements, bool contentOnly) override;
    // Role, name, description, children, and the value of elements without text or value and
    // of plain texts (a password's, or a text that embeds others, is left to its read).
    AXResult<std::vector<AXSubtreeElement>> readSubtree(const AXElement& root,
                                                        const AXSubtreeLimits& limits) override;
    // Web areas by role, main landmarks by subrole; other names are searched by walking.
    AXResult<std::vector<AXFoundElement>> findElements(const AXElement& root, std::string_view name,
                                                       bool bySubrole, int maxDepth) override;
    // The bus has no text markers.
    bool offersTextMarkers() const override { return false; }
    std::optional<AXRestMark> restMark() const override;
    std::optional<std::uint64_t> restSerial() const override;
    const std::atomic<std::uint64_t>* restCounter() const override;
    bool renewRest() override;

    // The name the process's application gives itself on the bus; none when it has no accessible
    // application, or when the answer takes longer than wait (the bus may be busy with a slow
    // application, and the caller may be the user interface).
    std::optional<std::string> applicationName(Pid pid, std::chrono::milliseconds wait);

private:
    // Runs work(call, element, object) on the accessibility thread for a reference of ours, each
    // call allowed the element's messaging time-out, else deadline.
    template <class Result, class Work>
    Result perform(const AXElement& element, Work work,
                   AtspiCall::Timeout deadline = AtspiCall::readTimeout);
    // A write: work(call, object) with the write's deadline, the element marked as written to (its
    // reads then wait as long, see perform).
    template <class Work> AXError performWrite(const AXElement& element, Work work);

    AtspiDesktopHooks hooks_;
    std::shared_ptr<AtspiFocusSnapshot> focus_;
    std::shared_ptr<AtspiAttributes> attributes_; // lives on the accessibility thread
};

} // namespace pennial
