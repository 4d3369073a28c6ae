#pragma once
// Decides, from successive snapshots of one field's text, when the user has typed the trigger
// pattern followed by a known command name, and what the command palette should show meanwhile.
// A plain value owned by the text monitor, which feeds it every text it reads, carries out the
// effects in order, and writes the fields directly for its own operations.

#include "base/unicode.hpp"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pennial {

// A trigger that fired; `range` covers pattern, white space and name in UTF-16 units.
struct TriggerMatch {
    std::string commandName;
    std::string fullPattern;
    unicode::Utf16Range range;

    bool operator==(const TriggerMatch&) const = default;
};

// What one evaluation finds for the palette.
struct PreviewResult {
    std::string fullPattern; // pattern, white space and the partial name
    std::string query;       // the partial name
    long long offset = 0;    // UTF-16 location of the pattern
    bool hasTextBefore = false;

    bool operator==(const PreviewResult&) const = default;
};

// What was last reported to the palette.
struct PreviewState {
    std::string fullPattern;
    std::string query;
    long long offset = 0;
    bool hasTextBefore = false;

    bool operator==(const PreviewState&) const = default;
};

struct Effect {
    struct TriggerDetected {
        std::string commandName;
        std::string fullPattern;
        long long triggerOffset = 0;

        bool operator==(const TriggerDetected&) const = default;
    };
    // Without a pattern, the palette hides.
    struct PreviewUpdated {
        std::optional<std::string> fullPattern;
        std::string query;
        std::optional<long long> triggerOffset;
        bool hasTextBeforeTrigger = false;

        bool operator==(const PreviewUpdated&) const = default;
    };
    struct NotReady {
        std::string reason;

        bool operator==(const NotReady&) const = default;
    };

    std::variant<TriggerDetected, PreviewUpdated, NotReady> value;

    static Effect triggerDetected(std::string commandName, std::string fullPattern,
                                  long long triggerOffset);
    static Effect previewUpdated(std::optional<std::string> fullPattern, std::string query,
                                 std::optional<long long> triggerOffset, bool hasTextBeforeTrigger);
    static Effect hidePreview();
    static Effect notReady(std::string reason);

    bool operator==(const Effect&) const = default;
};

class TriggerStateMachine {
public:
    static constexpr std::string_view noCommandsReason =
        "validCommandNames is empty — triggers will not fire";

    explicit TriggerStateMachine(std::string triggerPattern);

    // Evaluates one snapshot. Returns at most one preview effect, first, then at most one
    // detected trigger or not-ready report. An unchanged text on the same element returns nothing.
    std::vector<Effect> handleTextChange(std::string_view text, std::int32_t processID,
                                         bool elementChanged);

    std::string triggerPattern;
    std::set<std::string> validCommandNames;
    std::set<std::string> suppressedCommands; // fired, not to fire again until released
    std::optional<TriggerMatch> activeTrigger;
    std::string lastText;
    std::optional<PreviewState> lastPreview;
    std::int32_t currentPID = 0;
};

} // namespace pennial
