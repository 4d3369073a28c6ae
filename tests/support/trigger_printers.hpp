#pragma once
// Readable test failures for the trigger types.

#include "text/trigger_search.hpp"
#include "text/trigger_state_machine.hpp"

#include <fmt/format.h>
#include <ostream>

namespace pennial {

inline void PrintTo(const unicode::Utf16Range& range, std::ostream* out) {
    *out << "[" << range.location << "+" << range.length << "]";
}

inline void PrintTo(const PatternMatch& match, std::ostream* out) {
    *out << "whole " << fmt::format("[{}+{}]", match.whole.location, match.whole.length) << " name "
         << fmt::format("[{}+{}]", match.name.location, match.name.length);
}

inline void PrintTo(const Effect& effect, std::ostream* out) {
    auto optional = [](const auto& value) {
        return value ? fmt::format("{}", *value) : std::string("nil");
    };
    if (auto* fired = std::get_if<Effect::TriggerDetected>(&effect.value))
        *out << fmt::format("triggerDetected('{}', '{}', {})", fired->commandName,
                            fired->fullPattern, fired->triggerOffset);
    else if (auto* preview = std::get_if<Effect::PreviewUpdated>(&effect.value))
        *out << fmt::format("previewUpdated('{}', '{}', {}, {})", optional(preview->fullPattern),
                            preview->query, optional(preview->triggerOffset),
                            preview->hasTextBeforeTrigger);
    else
        *out << fmt::format("notReady('{}')", std::get<Effect::NotReady>(effect.value).reason);
}

} // namespace pennial
