#pragma once
// The simulated desktop's accessibility facility. Each call takes the element's latency in the
// desktop's time; a call slower than the reference's messaging time-out gives up after the
// time-out and answers cannotComplete. Without trust every call answers apiDisabled.

#include "platform/accessibility.hpp"
#include "platform/sim/sim_desktop_state.hpp"

#include <memory>

namespace pennial::sim {

class SimAccessibility : public platform::Accessibility {
public:
    explicit SimAccessibility(std::shared_ptr<SimDesktopState> state) : state_(std::move(state)) {}

    bool isProcessTrusted(platform::TrustCheck check) override;
    platform::AXElement systemWideElement() override;
    platform::AXElement applicationElement(platform::Pid pid) override;
    platform::AXResult<platform::AXValue> copyAttributeValue(const platform::AXElement& element,
                                                             std::string_view attribute) override;
    platform::AXResult<platform::AXAttributeResults>
    copyAttributeValues(const platform::AXElement& element,
                        const std::vector<std::string>& attributes) override;
    platform::AXResult<platform::AXValue>
    copyParameterizedAttributeValue(const platform::AXElement& element, std::string_view attribute,
                                    const platform::AXValue& parameter) override;
    platform::AXError setAttributeValue(const platform::AXElement& element,
                                        std::string_view attribute,
                                        const platform::AXValue& value) override;
    platform::AXError setMessagingTimeout(const platform::AXElement& element,
                                          std::chrono::duration<double> timeout) override;
    platform::AXResult<platform::Pid> processId(const platform::AXElement& element) override;

private:
    // Checks trust and the reference, and lets the call's time pass. Answers the element to work
    // on, or the error the call ends with.
    platform::AXResult<SimElementPtr> begin(const platform::AXElement& element);
    platform::AXResult<platform::AXValue> readOne(const SimElementPtr& element,
                                                  std::string_view attribute);
    void record(SimCallKind kind, const platform::AXElement& element, std::string attribute,
                platform::AXError result);

    std::shared_ptr<SimDesktopState> state_;
};

} // namespace pennial::sim
