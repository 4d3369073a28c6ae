#pragma once
// The trigger pipeline's decisions about text: where the trigger stands in the field, whether a
// command is a plain snippet, and what the write-back puts in place of what. Offsets and lengths
// count UTF-16 units of the whole text.

#include "text/command.hpp"
#include "text/text_processing.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace pennial {

// Where fullPattern starts in text: at the reported offset when it stands there, else at its
// last occurrence; none when the text no longer holds it.
std::optional<long long> locateTrigger(std::string_view text, std::string_view fullPattern,
                                       std::optional<long long> reportedOffset);

// An insert command whose content asks the backend to fill nothing (no "<...>" tag): its content
// goes into the field as it stands.
bool isPlainSnippet(const Command& command);

struct Replacements {
    std::string rangeReplacement; // over the text up to the end of the trigger
    std::string fullReplacement;  // the field's whole new value
};

// result: the backend's text, or a plain snippet's content. A rewrite replaces the text before
// the trigger; an insert puts the result on the trigger's line after the text before it. Both
// keep what followed the trigger.
Replacements replacementsFor(const Command& command, const TextProcessing::TriggerSplit& split,
                             const std::string& result);

} // namespace pennial
