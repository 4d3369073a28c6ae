#include "text/capture_scope.hpp"

#include "platform/ax_names.hpp"
#include "text/ax_reads.hpp"

#include <algorithm>

namespace pennial {

namespace {
// A time-out of zero means "the default" to the platform, so a spent budget still gets a short one;
// the walks stop at their next element anyway.
constexpr std::chrono::duration<double> shortestTimeout{0.001};
} // namespace

CaptureDeadline CaptureDeadline::after(Clock::duration budget, Now now) {
    auto end = now() + budget;
    return CaptureDeadline(end, std::move(now));
}

CaptureDeadline CaptureDeadline::never() {
    return CaptureDeadline(Clock::time_point::max(), Clock::now);
}

bool CaptureDeadline::expired() const {
    return end_ != Clock::time_point::max() && now_() >= end_;
}

CaptureDeadline::Clock::duration CaptureDeadline::remaining() const {
    if (end_ == Clock::time_point::max())
        return Clock::duration::max();
    return std::max(end_ - now_(), Clock::duration::zero());
}

void CaptureScope::setTimeout(const AXElement& element,
                              std::chrono::duration<double> timeout) const {
    auto remaining = deadline_.remaining();
    if (remaining != CaptureDeadline::Clock::duration::max())
        timeout =
            std::max(std::min(timeout, std::chrono::duration<double>(remaining)), shortestTimeout);
    auto sameHandle = [&](const AXElement& timed) { return timed.handle() == element.handle(); };
    if (accessibility_.setMessagingTimeout(element, timeout) == AXError::success &&
        std::none_of(timed_.begin(), timed_.end(), sameHandle))
        timed_.push_back(element);
}

CaptureScope::~CaptureScope() {
    // Zero is the platform's default time-out.
    for (const auto& element : timed_)
        accessibility_.setMessagingTimeout(element, std::chrono::duration<double>::zero());
}

template <class Result, class Call>
Result CaptureScope::remembered(Kept<Result>& answers, const AXElement& element, std::string key,
                                Call call) const {
    if (expired())
        return AXError::cannotComplete;
    if (!keepAnswers_)
        return call();
    auto where = std::pair<const void*, std::string>(element.handle(), std::move(key));
    if (auto known = answers.find(where); known != answers.end())
        return known->second.second;
    Result result = call();
    if (result.error() != AXError::cannotComplete)
        answers.emplace(std::move(where), std::pair(element, result));
    return result;
}

AXElement CaptureScope::applicationElement(Pid pid) const {
    if (!keepAnswers_)
        return accessibility_.applicationElement(pid);
    auto [known, added] = applications_.try_emplace(pid);
    if (added)
        known->second = accessibility_.applicationElement(pid);
    return known->second;
}

AXResult<AXValue> CaptureScope::read(const AXElement& element, std::string_view attribute) const {
    return remembered(reads_, element, std::string(attribute),
                      [&] { return accessibility_.copyAttributeValue(element, attribute); });
}

AXResult<std::vector<AXFoundElement>> CaptureScope::findElements(const AXElement& root,
                                                                 std::string_view name,
                                                                 bool bySubrole,
                                                                 int maxDepth) const {
    auto key = std::string(bySubrole ? "subrole " : "role ") + std::string(name) + " " +
               std::to_string(maxDepth);
    return remembered(found_, root, std::move(key),
                      [&] { return accessibility_.findElements(root, name, bySubrole, maxDepth); });
}

AXResult<AXAttributeResults>
CaptureScope::readMany(const AXElement& element, const std::vector<std::string>& attributes) const {
    if (expired())
        return AXError::cannotComplete;
    return accessibility_.copyAttributeValues(element, attributes);
}

AXResult<AXValue> CaptureScope::readParameterized(const AXElement& element,
                                                  std::string_view attribute,
                                                  const AXValue& parameter) const {
    if (expired())
        return AXError::cannotComplete;
    return accessibility_.copyParameterizedAttributeValue(element, attribute, parameter);
}

AXResult<std::vector<std::string>> CaptureScope::collectTexts(const AXElement& root,
                                                              const AXElement& except,
                                                              int maxElements,
                                                              bool contentOnly) const {
    auto key = std::to_string(maxElements) + (contentOnly ? " content " : " all ") +
               std::to_string(reinterpret_cast<std::uintptr_t>(except.handle()));
    return remembered(texts_, root, std::move(key), [&] {
        return accessibility_.collectTexts(root, except, maxElements, contentOnly);
    });
}

void CaptureScope::readAhead(const AXElement& root, const AXSubtreeLimits& limits) const {
    // Read already, root's subtree is walked through the references of that read: a second
    // read's answers would name others.
    if (!keepAnswers_ || expired() ||
        reads_.contains({root.handle(), std::string(ax::attribute::children)}))
        return;
    auto subtree = accessibility_.readSubtree(root, limits);
    if (!subtree.ok())
        return;
    for (auto& [element, answers] : *subtree.value())
        for (auto& [attribute, answer] : answers)
            if (answer.error() != AXError::cannotComplete)
                reads_.try_emplace({element.handle(), std::move(attribute)}, element,
                                   std::move(answer));
}

AXError CaptureScope::write(const AXElement& element, std::string_view attribute,
                            const AXValue& value) const {
    if (expired())
        return AXError::cannotComplete;
    return accessibility_.setAttributeValue(element, attribute, value);
}

std::optional<std::string> CaptureScope::readString(const AXElement& element,
                                                    std::string_view attribute) const {
    return ax::stringOf(read(element, attribute));
}

std::optional<std::int64_t> CaptureScope::readInteger(const AXElement& element,
                                                      std::string_view attribute) const {
    return ax::integerOf(read(element, attribute));
}

std::optional<AXElement> CaptureScope::readElement(const AXElement& element,
                                                   std::string_view attribute) const {
    return ax::elementOf(read(element, attribute));
}

std::optional<std::vector<AXElement>> CaptureScope::readElements(const AXElement& element,
                                                                 std::string_view attribute) const {
    return ax::elementsOf(read(element, attribute));
}

} // namespace pennial
