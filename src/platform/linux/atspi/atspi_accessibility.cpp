#include "platform/linux/atspi/atspi_accessibility.hpp"

#include "base/log.hpp"
#include "base/unicode.hpp"
#include "platform/ax_names.hpp"
#include "platform/linux/activity/desktop_activity.hpp"
#include "platform/linux/atspi/atspi_element.hpp"
#include "platform/linux/atspi/atspi_subtree.hpp"
#include "platform/linux/atspi/atspi_text_collection.hpp"
#include "platform/linux/atspi/atspi_thread.hpp"
#include "platform/linux/atspi/atspi_trust.hpp"

#include <algorithm>
#include <future>
#include <map>

namespace pennial {

namespace {
// A name look-up is a handful of short calls; more means the application is stuck.
constexpr std::chrono::milliseconds nameLookupTimeout{500};
} // namespace

AtspiAccessibility::AtspiAccessibility(AtspiDesktopHooks hooks)
    : hooks_(std::move(hooks)), focus_(std::make_shared<AtspiFocusSnapshot>()) {
    auto& thread = AtspiThread::instance();
    if (thread.connected())
        attributes_ =
            thread.call([&] { return std::make_shared<AtspiAttributes>(hooks_, focus_); });
}

AtspiAccessibility::~AtspiAccessibility() {
    if (attributes_)
        AtspiThread::instance().call(
            [attributes = std::move(attributes_)]() mutable { attributes.reset(); });
}

template <class Result, class Work>
Result AtspiAccessibility::perform(const AXElement& element, Work work,
                                   AtspiCall::Timeout deadline) {
    auto* handle = atspiElement(element);
    if (!handle)
        return AXError::invalidUIElement;
    if (!attributes_)
        return AXError::apiDisabled;
    auto job = [&]() -> Result {
        // The reads that check a write wait as long as the write: a slow answer there would
        // have the text written a second way.
        AtspiCall call(handle->messagingTimeout().value_or(AtspiCall::Timeout::zero()),
                       handle->writtenTo() ? AtspiCall::writeTimeout : deadline);
        auto* accessible = attributes_->resolve(call, *handle);
        if (call.failed())
            return *call.failure();
        Result result = work(call, *handle, accessible);
        if (call.failed())
            return *call.failure();
        return result;
    };
    return AtspiThread::instance().call(std::move(job));
}

template <class Work>
AXError AtspiAccessibility::performWrite(const AXElement& element, Work work) {
    if (auto* handle = atspiElement(element))
        handle->markWrittenTo();
    return perform<AXError>(
        element,
        [&](AtspiCall& call, const AtspiElement&, AtspiAccessible* accessible) {
            return work(call, accessible);
        },
        AtspiCall::writeTimeout);
}

bool AtspiAccessibility::isProcessTrusted(TrustCheck check) {
    bool enabled = atspiAccessibilityEnabled().value_or(false);
    if (check == TrustCheck::prompt && !enabled) {
        // No one is asked here: the switch takes effect at once, and the answer is the new state.
        if ((enabled = enableAtspiAccessibility()))
            logLine("⚠️ [Accessibility] Desktop accessibility turned on: Qt applications that "
                    "are already running must be restarted before their text can be read");
        else
            logLine("❌ [Accessibility] Could not turn desktop accessibility on");
    }
    return enabled && attributes_ != nullptr;
}

AXElement AtspiAccessibility::systemWideElement() {
    return AtspiElement::systemWide();
}

AXElement AtspiAccessibility::applicationElement(Pid pid) {
    return AtspiElement::application(pid);
}

AXResult<AXValue> AtspiAccessibility::copyAttributeValue(const AXElement& element,
                                                         std::string_view attribute) {
    // Asked on every poll: answered from the focus the thread last worked out while it holds,
    // and from the field's text while nothing can have changed it.
    if (auto* handle = atspiElement(element); attributes_ && handle) {
        const auto focus = focus_->current();
        // Only the field the user still has: one whose application quit (or lost the focus)
        // is asked, and answers that it is gone.
        const bool focusedField = focus && focus->element &&
                                  handle->sameElement(*focus->element.handle()) &&
                                  AtspiAttributes::isStillFocused(hooks_, *focus);
        if (attribute == ax::attribute::value && focusedField)
            if (auto text = attributes_->quietText(*handle))
                return AXValue(std::move(*text));
        if (focus)
            if (auto answer = AtspiAttributes::answerFromFocus(hooks_, *focus, *handle, attribute))
                return std::move(*answer);
    }
    return perform<AXResult<AXValue>>(
        element, [&](AtspiCall& call, const AtspiElement& handle, AtspiAccessible* accessible) {
            return attributes_->read(call, handle, accessible, attribute);
        });
}

std::optional<AXRestMark> AtspiAccessibility::restMark() const {
    return attributes_ ? attributes_->restMark() : std::nullopt;
}

std::optional<std::uint64_t> AtspiAccessibility::restSerial() const {
    if (!attributes_)
        return std::nullopt;
    return DesktopActivity::instance().restChanges();
}

bool AtspiAccessibility::renewRest() {
    if (!attributes_)
        return false;
    AtspiThread::instance().post([attributes = attributes_] {
        AtspiCall call(AtspiCall::readTimeout);
        attributes->renewRest(call);
    });
    return true;
}

const std::atomic<std::uint64_t>* AtspiAccessibility::restCounter() const {
    return attributes_ ? &DesktopActivity::instance().restCounter() : nullptr;
}

AXResult<AXAttributeResults>
AtspiAccessibility::copyAttributeValues(const AXElement& element,
                                        const std::vector<std::string>& attributes) {
    return perform<AXResult<AXAttributeResults>>(
        element,
        [&](AtspiCall&, const AtspiElement& handle,
            AtspiAccessible* accessible) -> AXResult<AXAttributeResults> {
            AXAttributeResults results;
            for (const auto& name : attributes) {
                // Each read fails on its own; a gone or stuck application ends the request.
                AtspiCall one(handle.messagingTimeout().value_or(AtspiCall::Timeout::zero()));
                auto result = attributes_->read(one, handle, accessible, name);
                if (auto failure = one.failure()) {
                    if (*failure == AXError::cannotComplete ||
                        *failure == AXError::invalidUIElement)
                        return *failure;
                    result = *failure;
                }
                results.push_back(std::move(result));
            }
            return results;
        });
}

AXResult<AXValue> AtspiAccessibility::copyParameterizedAttributeValue(const AXElement& element,
                                                                      std::string_view attribute,
                                                                      const AXValue& parameter) {
    return perform<AXResult<AXValue>>(
        element, [&](AtspiCall& call, const AtspiElement&, AtspiAccessible* accessible) {
            return attributes_->readParameterized(call, accessible, attribute, parameter);
        });
}

AXError AtspiAccessibility::setAttributeValue(const AXElement& element, std::string_view attribute,
                                              const AXValue& value) {
    // The flags some toolkits want set before they build their trees are written on every poll
    // and have no equivalent on the bus: answered here, without the trip to the thread.
    if (atspiElement(element) && !AtspiAttributes::isWritable(attribute))
        return AXError::attributeUnsupported;
    return performWrite(element, [&](AtspiCall& call, AtspiAccessible* accessible) {
        return attributes_->write(call, accessible, attribute, value);
    });
}

AXError AtspiAccessibility::replaceText(const AXElement& element, AXRange range,
                                        const std::string& text) {
    return performWrite(element, [&](AtspiCall& call, AtspiAccessible* accessible) {
        return attributes_->replaceText(call, accessible, range, text);
    });
}

AXError AtspiAccessibility::setMessagingTimeout(const AXElement& element,
                                                std::chrono::duration<double> timeout) {
    auto* handle = atspiElement(element);
    if (!handle)
        return AXError::invalidUIElement;
    if (timeout < std::chrono::duration<double>::zero())
        return AXError::illegalArgument;
    handle->setMessagingTimeout(timeout);
    return AXError::success;
}

AXResult<Pid> AtspiAccessibility::processId(const AXElement& element) {
    if (auto* handle = atspiElement(element)) {
        if (handle->kind() == AtspiElement::Kind::systemWide)
            return AXError::illegalArgument;
        if (auto pid = handle->knownProcess())
            return *pid;
    }
    return perform<AXResult<Pid>>(
        element, [&](AtspiCall& call, const AtspiElement&, AtspiAccessible* accessible) {
            return attributes_->processId(call, accessible);
        });
}

AXResult<std::vector<std::string>> AtspiAccessibility::collectTexts(const AXElement& root,
                                                                    const AXElement& except,
                                                                    int maxElements,
                                                                    bool contentOnly) {
    auto* left = atspiElement(except);
    return perform<AXResult<std::vector<std::string>>>(
        root,
        [&](AtspiCall& call, const AtspiElement&,
            AtspiAccessible* accessible) -> AXResult<std::vector<std::string>> {
            atspi_collection::Limits limits;
            limits.maxElements = static_cast<std::size_t>(std::max(maxElements, 0));
            limits.contentOnly = contentOnly;
            auto texts = atspi_collection::collectTexts(
                call, accessible, left ? left->accessible() : nullptr, limits);
            if (!texts)
                return call.failure().value_or(AXError::attributeUnsupported);
            return std::move(*texts);
        });
}

AXResult<std::vector<AXSubtreeElement>>
AtspiAccessibility::readSubtree(const AXElement& root, const AXSubtreeLimits& limits) {
    auto* left = atspiElement(limits.except);
    return perform<AXResult<std::vector<AXSubtreeElement>>>(
        root,
        [&](AtspiCall& call, const AtspiElement&,
            AtspiAccessible* accessible) -> AXResult<std::vector<AXSubtreeElement>> {
            atspi_subtree::Limits bounds{limits.maxDepth,
                                         limits.maxElements,
                                         left ? left->accessible() : nullptr,
                                         limits.leafRoles,
                                         true,
                                         attributes_->toolkitOf(call, accessible)};
            auto subtree =
                atspi_subtree::read(call, accessible, bounds, AtspiAttributes::childLimit);
            if (!subtree)
                return call.failure().value_or(AXError::attributeUnsupported);
            // One reference per object, so that the children answers name the elements listed.
            std::map<AtspiAccessible*, AXElement> references{{accessible, root}};
            auto referenceTo = [&](AtspiAccessible* object) {
                auto [known, added] = references.try_emplace(object);
                if (added)
                    known->second = AtspiElement::object(object);
                return known->second;
            };
            std::vector<AXSubtreeElement> elements;
            for (auto& read : *subtree) {
                AXSubtreeElement element{referenceTo(read.object.get()), {}};
                auto& answers = element.answers;
                if (read.role)
                    answers.emplace_back(ax::attribute::role, AXValue(*read.role));
                if (read.name)
                    answers.emplace_back(ax::attribute::title, AXValue(*read.name));
                if (read.description)
                    answers.emplace_back(ax::attribute::description, AXValue(*read.description));
                if (read.children) {
                    AXValue::List children;
                    for (const auto& child : *read.children)
                        children.emplace_back(referenceTo(child.get()));
                    answers.emplace_back(ax::attribute::children, AXValue(std::move(children)));
                }
                if (read.textless)
                    answers.emplace_back(ax::attribute::value, AXError::noValue);
                else if (read.text)
                    answers.emplace_back(ax::attribute::value,
                                         AXValue(unicode::sanitizeUtf8(*read.text)));
                elements.push_back(std::move(element));
            }
            return elements;
        });
}

AXResult<std::vector<AXFoundElement>> AtspiAccessibility::findElements(const AXElement& root,
                                                                       std::string_view name,
                                                                       bool bySubrole,
                                                                       int maxDepth) {
    // What the roles and subroles are made of (see atspi_roles): a web area is a web document; a
    // main landmark, an element whose markup role is "main".
    atspi_collection::Wanted wanted;
    if (!bySubrole && name == ax::role::webArea)
        wanted.roles = {ATSPI_ROLE_DOCUMENT_WEB};
    else if (bySubrole && name == ax::subrole::landmarkMain)
        wanted.xmlRoles = "main";
    else
        return AXError::attributeUnsupported;
    return perform<AXResult<std::vector<AXFoundElement>>>(
        root,
        [&](AtspiCall& call, const AtspiElement&,
            AtspiAccessible* accessible) -> AXResult<std::vector<AXFoundElement>> {
            auto found = atspi_collection::findElements(call, accessible, wanted, maxDepth);
            if (!found)
                return call.failure().value_or(AXError::attributeUnsupported);
            std::vector<AXFoundElement> elements;
            for (auto& one : *found)
                elements.push_back({AtspiElement::object(one.element.get()), one.depth});
            return elements;
        });
}

std::optional<std::string> AtspiAccessibility::applicationName(Pid pid,
                                                               std::chrono::milliseconds wait) {
    if (!attributes_)
        return std::nullopt;
    auto& thread = AtspiThread::instance();
    auto lookUp = [attributes = attributes_, pid] {
        AtspiCall call(nameLookupTimeout);
        return attributes->applicationName(call, pid);
    };
    if (thread.isCurrent())
        return lookUp();
    // The look-up may outlive the wait: it keeps what it uses.
    auto answer = std::make_shared<std::promise<std::optional<std::string>>>();
    auto named = answer->get_future();
    thread.post([lookUp = std::move(lookUp), answer] { answer->set_value(lookUp()); });
    if (named.wait_for(wait) != std::future_status::ready)
        return std::nullopt;
    return named.get();
}

} // namespace pennial
