#include "text/trigger_state_machine.hpp"

#include "text/trigger_search.hpp"

#include <unicode/utf16.h>

namespace pennial {
namespace {

bool allWhitespaceBefore(std::u16string_view text, std::size_t end) {
    for (std::size_t i = 0; i < end;) {
        UChar32 c;
        U16_NEXT(text.data(), i, end, c);
        if (!unicode::isWhitespace(char32_t(c)))
            return false;
    }
    return true;
}

// A blank pattern would turn every line that ends in a command name into a trigger.
bool isUsablePattern(std::u16string_view pattern) {
    return !allWhitespaceBefore(pattern, pattern.size());
}

std::string slice(std::u16string_view text, unicode::Utf16Range range) {
    return unicode::toUtf8(text.substr(range.location, range.length));
}

std::optional<PreviewResult> computePreview(std::u16string_view text, std::u16string_view pattern) {
    if (!isUsablePattern(pattern))
        return std::nullopt;
    auto match = TriggerSearch(text, pattern).lastPartialTrigger();
    if (!match)
        return std::nullopt;
    return PreviewResult{slice(text, match->whole), slice(text, match->name),
                         static_cast<long long>(match->whole.location),
                         !allWhitespaceBefore(text, match->whole.location)};
}

// The valid name nearest the end of the text wins.
std::optional<TriggerMatch> findTrigger(std::u16string_view text, std::u16string_view pattern,
                                        const std::set<std::string>& validNames) {
    if (!isUsablePattern(pattern))
        return std::nullopt;
    auto matches = TriggerSearch(text, pattern).completeTriggers();
    for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
        auto name = slice(text, it->name);
        if (validNames.contains(name))
            return TriggerMatch{std::move(name), slice(text, it->whole), it->whole};
    }
    return std::nullopt;
}

std::optional<PreviewState> stateOf(const std::optional<PreviewResult>& preview) {
    if (!preview)
        return std::nullopt;
    return PreviewState{preview->fullPattern, preview->query, preview->offset,
                        preview->hasTextBefore};
}

} // namespace

Effect Effect::triggerDetected(std::string commandName, std::string fullPattern,
                               long long triggerOffset) {
    return {TriggerDetected{std::move(commandName), std::move(fullPattern), triggerOffset}};
}

Effect Effect::previewUpdated(std::optional<std::string> fullPattern, std::string query,
                              std::optional<long long> triggerOffset, bool hasTextBeforeTrigger) {
    return {PreviewUpdated{std::move(fullPattern), std::move(query), triggerOffset,
                           hasTextBeforeTrigger}};
}

Effect Effect::hidePreview() {
    return previewUpdated(std::nullopt, "", std::nullopt, false);
}

Effect Effect::notReady(std::string reason) {
    return {NotReady{std::move(reason)}};
}

TriggerStateMachine::TriggerStateMachine(std::string triggerPattern)
    : triggerPattern(std::move(triggerPattern)) {}

std::vector<Effect> TriggerStateMachine::handleTextChange(std::string_view text,
                                                          std::int32_t processID,
                                                          bool elementChanged) {
    std::vector<Effect> effects;

    // A palette shown for the previous application must not stay up over this one.
    bool paletteShownElsewhere = false;
    if (processID != currentPID) {
        currentPID = processID;
        paletteShownElsewhere = lastPreview.has_value();
        suppressedCommands.clear();
        activeTrigger.reset();
        lastText.clear();
        lastPreview.reset();
    }

    if (!elementChanged && text == lastText) {
        if (paletteShownElsewhere)
            effects.push_back(Effect::hidePreview());
        return effects;
    }
    lastText = std::string(text);

    const auto text16 = unicode::toUtf16(text);
    const auto pattern16 = unicode::toUtf16(triggerPattern);

    auto preview = computePreview(text16, pattern16);
    if (auto state = stateOf(preview); state != lastPreview) {
        lastPreview = std::move(state);
        effects.push_back(preview ? Effect::previewUpdated(preview->fullPattern, preview->query,
                                                           preview->offset, preview->hasTextBefore)
                                  : Effect::hidePreview());
    } else if (paletteShownElsewhere) {
        effects.push_back(Effect::hidePreview());
    }

    const bool holdsPattern =
        isUsablePattern(pattern16) && text16.find(pattern16) != std::u16string::npos;
    if (validCommandNames.empty()) {
        if (holdsPattern)
            effects.push_back(Effect::notReady(std::string(noCommandsReason)));
        return effects;
    }
    if (!holdsPattern) {
        activeTrigger.reset();
        return effects;
    }

    auto match = findTrigger(text16, pattern16, validCommandNames);
    if (!match) {
        activeTrigger.reset();
        // The user is typing a trigger again: whatever fired before may fire anew.
        if (preview)
            suppressedCommands.clear();
        return effects;
    }
    if (activeTrigger == match || suppressedCommands.contains(match->commandName))
        return effects;

    activeTrigger = match;
    suppressedCommands.insert(match->commandName);
    effects.push_back(Effect::triggerDetected(match->commandName, match->fullPattern,
                                              static_cast<long long>(match->range.location)));
    return effects;
}

} // namespace pennial
