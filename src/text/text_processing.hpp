#pragma once
// Pure string helpers shared by the trigger pipeline and the context capture: cut a field's text at
// a trigger, compose a snippet back into it, complete a typed pattern, and cut e-mail footers.
// Offsets are UTF-16 units of the whole text.

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pennial::TextProcessing {

struct TriggerSplit {
    std::string textBefore; // before the trigger, spaces and tabs trimmed at both ends
    std::string suffix;     // from the first line break after the trigger, or ""
    std::string textAfter;  // everything after the trigger

    bool operator==(const TriggerSplit&) const = default;
};

inline constexpr std::array<std::string_view, 25> footerMarkers = {
    "unsubscribe",
    "this email is confidential",
    "this message is confidential",
    "legal notice",
    "disclaimer",
    "privacy policy",
    "terms of service",
    "terms and conditions",
    "if you received this email in error",
    "this email and any attachments",
    "do not reply to this email",
    "the carriage of certain hazardous materials",
    "receipt remarks",
    "legal and passenger notices",
    "informacje i regulacje prawne",
    "informacja o ochronie danych",
    "warunki przewozu",
    "diese e-mail ist vertraulich",
    "haftungsausschluss",
    "ce message est confidentiel",
    "avis de confidentialite",
    "powered by",
    "sent from my iphone",
    "sent from my ipad",
    "get outlook for",
};

TriggerSplit splitAtTrigger(std::string_view fullText, std::string_view fullPattern,
                            std::optional<long long> triggerOffset);
std::string composeSnippetText(std::string_view textBefore, std::string_view snippet,
                               std::string_view suffix);
std::string completedPattern(std::string_view triggerPattern, std::string_view fullPattern,
                             std::string_view commandName);
std::string trimEmailFooter(std::string_view text);

} // namespace pennial::TextProcessing
