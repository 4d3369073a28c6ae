#pragma once
// Readable test failures for the trigger types.

#include "text/trigger_search.hpp"
#include "text/trigger_state_machine.hpp"

#include <fmt/format.h>
#include <ostream>

namespace pennial {

inline void PrintTo(const PatternMatch& m, std::ostream* out) {
    *out << fmt::format("whole {}+{} name {}+{}", m.whole.location, m.whole.length, m.name.location,
                        m.name.length);
}

inline void PrintTo(const Effect& effect, std::ostream* out) {
    auto text = [](const auto& v) { return v ? fmt::format("'{}'", *v) : std::string("nil"); };
    if (auto* e = std::get_if<Effect::TriggerDetected>(&effect.value))
        *out << fmt::format("fired('{}', '{}', {})", e->commandName, e->fullPattern,
                            e->triggerOffset);
    else if (auto* e = std::get_if<Effect::PreviewUpdated>(&effect.value))
        *out << fmt::format("preview({}, '{}', {}, {})", text(e->fullPattern), e->query,
                            text(e->triggerOffset), e->hasTextBeforeTrigger);
    else
        *out << fmt::format("notReady('{}')", std::get<Effect::NotReady>(effect.value).reason);
}

} // namespace pennial
