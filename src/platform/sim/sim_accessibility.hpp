#pragma once
// The simulated desktop's accessibility facility. Each call takes the element's latency in the
// desktop's time; a call slower than the reference's messaging time-out gives up after the
// time-out and answers cannotComplete. Without trust every call answers apiDisabled.

#include "platform/accessibility.hpp"
#include "platform/sim/sim_desktop_state.hpp"

#include <memory>

namespace pennial {

class SimAccessibility : public Accessibility {
public:
    explicit SimAccessibility(std::shared_ptr<SimDesktopState> state) : state_(std::move(state)) {}

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
    AXError setMessagingTimeout(const AXElement& element,
                                std::chrono::duration<double> timeout) override;
    AXResult<Pid> processId(const AXElement& element) override;

private:
    // Checks trust and the reference, and lets the call's time pass. Answers the element to work
    // on, or the error the call ends with.
    AXResult<SimElementPtr> begin(const AXElement& element);
    AXResult<AXValue> readOne(const SimElementPtr& element, std::string_view attribute);
    void record(SimCallKind kind, const AXElement& element, std::string attribute, AXError result);

    std::shared_ptr<SimDesktopState> state_;
};

} // namespace pennial
