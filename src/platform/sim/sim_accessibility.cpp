#include "platform/sim/sim_accessibility.hpp"

#include "platform/sim/sim_element_ref.hpp"

namespace pennial {

namespace attribute = ax::attribute;

namespace {

// What a reference waits when no time-out was set on it.
constexpr std::chrono::duration<double> defaultMessagingTimeout{6.0};

std::string nameOf(const AXElement& element) {
    auto* ref = simElementRef(element);
    auto target = ref ? ref->element() : nullptr;
    return target ? target->name() : "<invalid>";
}

std::optional<std::chrono::duration<double>> timeoutOf(const AXElement& element) {
    auto* ref = simElementRef(element);
    return ref ? ref->messagingTimeout() : std::nullopt;
}

} // namespace

void SimAccessibility::record(SimCallKind kind, const AXElement& element, std::string attribute,
                              AXError result) {
    auto call = SimCall::of(kind, nameOf(element), std::move(attribute));
    call.timeout = timeoutOf(element);
    call.result = result;
    state_->log.record(std::move(call));
}

AXResult<SimElementPtr> SimAccessibility::begin(const AXElement& element) {
    SimClock::Clock::duration latency;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->trusted)
            return AXError::apiDisabled;
        latency = state_->callLatency;
    }
    auto* ref = simElementRef(element);
    auto target = ref ? ref->element() : nullptr;
    if (!target)
        return AXError::invalidUIElement;
    latency = target->effectiveLatency().value_or(latency);
    auto timeout = std::chrono::duration_cast<SimClock::Clock::duration>(
        ref->messagingTimeout().value_or(defaultMessagingTimeout));
    if (timeout <= SimClock::Clock::duration::zero())
        timeout = std::chrono::duration_cast<SimClock::Clock::duration>(defaultMessagingTimeout);
    if (latency > timeout) {
        state_->clock.pass(timeout);
        return AXError::cannotComplete;
    }
    state_->clock.pass(latency);
    if (target->isDestroyed())
        return AXError::invalidUIElement;
    return target;
}

bool SimAccessibility::isProcessTrusted(TrustCheck check) {
    bool trusted;
    {
        std::lock_guard lock(state_->mutex);
        if (check == TrustCheck::prompt && !state_->trusted) {
            ++state_->trustPrompts;
            if (state_->grantTrustOnPrompt)
                state_->trusted = true;
            trusted = false; // the user answers the prompt after the call has returned
        } else {
            trusted = state_->trusted;
        }
    }
    state_->log.record(
        SimCall::of(SimCallKind::trustCheck, {}, check == TrustCheck::prompt ? "prompt" : ""));
    return trusted;
}

AXElement SimAccessibility::systemWideElement() {
    std::lock_guard lock(state_->mutex);
    return makeElementRef(state_->systemWide);
}

AXElement SimAccessibility::applicationElement(Pid pid) {
    std::lock_guard lock(state_->mutex);
    auto application = state_->applicationLocked(pid);
    // A reference to a process without an application is handed out all the same; calls on it
    // fail as they would on a process that has gone.
    return makeElementRef(application ? application->element() : SimElementPtr());
}

AXResult<AXValue> SimAccessibility::readOne(const SimElementPtr& element,
                                            std::string_view attribute) {
    auto result = element->read(attribute);
    if (result.error() != AXError::attributeUnsupported)
        return result;
    // Focus lives in the desktop, not in the tree.
    std::lock_guard lock(state_->mutex);
    auto focused = state_->focused.lock();
    if (focused && focused->isDestroyed())
        focused = nullptr;
    if (element == state_->systemWide) {
        if (attribute == attribute::focusedUIElement)
            return focused ? AXValue(makeElementRef(focused)) : AXResult<AXValue>(AXError::noValue);
        if (attribute == attribute::focusedApplication) {
            auto application = focused ? state_->applicationLocked(focused->pid()) : nullptr;
            if (!application && state_->frontmost)
                application = state_->applicationLocked(*state_->frontmost);
            return application ? AXValue(makeElementRef(application->element()))
                               : AXResult<AXValue>(AXError::noValue);
        }
        return result;
    }
    auto application = state_->applicationLocked(element->pid());
    if (!application || application->element() != element)
        return result;
    if (attribute == attribute::focusedUIElement)
        return focused && focused->pid() == application->pid()
                   ? AXValue(makeElementRef(focused))
                   : AXResult<AXValue>(AXError::noValue);
    if (attribute == attribute::focusedWindow) {
        auto window = application->focusedWindow();
        return window ? AXValue(makeElementRef(window)) : AXResult<AXValue>(AXError::noValue);
    }
    return result;
}

AXResult<AXValue> SimAccessibility::copyAttributeValue(const AXElement& element,
                                                       std::string_view attribute) {
    // Nothing here is kept from an earlier read: the current value is the value.
    if (attribute == ax::attribute::currentValue)
        attribute = ax::attribute::value;
    auto target = begin(element);
    auto result =
        target.ok() ? readOne(*target.value(), attribute) : AXResult<AXValue>(target.error());
    record(SimCallKind::copyAttribute, element, std::string(attribute), result.error());
    return result;
}

} // namespace pennial

namespace pennial {

AXResult<AXAttributeResults>
SimAccessibility::copyAttributeValues(const AXElement& element,
                                      const std::vector<std::string>& attributes) {
    auto target = begin(element);
    std::string names;
    for (const auto& name : attributes)
        names += (names.empty() ? "" : ",") + name;
    if (!target.ok()) {
        record(SimCallKind::copyAttributes, element, names, target.error());
        return target.error();
    }
    AXAttributeResults results;
    for (const auto& name : attributes)
        results.push_back(readOne(*target.value(), name));
    record(SimCallKind::copyAttributes, element, names, AXError::success);
    return results;
}

AXResult<AXValue> SimAccessibility::copyParameterizedAttributeValue(const AXElement& element,
                                                                    std::string_view attribute,
                                                                    const AXValue& parameter) {
    auto target = begin(element);
    auto result = target.ok() ? (*target.value())->readParameterized(attribute, parameter)
                              : AXResult<AXValue>(target.error());
    record(SimCallKind::copyParameterized, element, std::string(attribute), result.error());
    return result;
}

AXError SimAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                            const AXValue& value) {
    auto target = begin(element);
    auto result = target.ok() ? (*target.value())->write(attribute, value) : target.error();
    record(SimCallKind::setAttribute, element, std::string(attribute), result);
    return result;
}

AXError SimAccessibility::setMessagingTimeout(const AXElement& element,
                                              std::chrono::duration<double> timeout) {
    auto* ref = simElementRef(element);
    AXError result = AXError::success;
    if (!ref || !ref->element())
        result = AXError::invalidUIElement;
    else if (timeout < std::chrono::duration<double>::zero())
        result = AXError::illegalArgument;
    else
        ref->setMessagingTimeout(timeout);
    auto call = SimCall::of(SimCallKind::setMessagingTimeout, nameOf(element));
    call.timeout = timeout;
    call.result = result;
    state_->log.record(std::move(call));
    return result;
}

AXResult<Pid> SimAccessibility::processId(const AXElement& element) {
    auto* ref = simElementRef(element);
    auto target = ref ? ref->element() : nullptr;
    AXResult<Pid> result = AXError::invalidUIElement;
    if (target) {
        std::lock_guard lock(state_->mutex);
        result = target == state_->systemWide ? AXResult<Pid>(AXError::illegalArgument)
                                              : AXResult<Pid>(target->pid());
    }
    record(SimCallKind::processId, element, "", result.error());
    return result;
}

} // namespace pennial
