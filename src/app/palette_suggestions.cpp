#include "app/palette_suggestions.hpp"

#include "base/unicode.hpp"

#include <algorithm>

namespace pennial {

std::string normalizedPaletteQuery(std::string_view query) {
    return unicode::lowercased(unicode::trimWhitespaceAndNewlines(query));
}

std::vector<TemplateSuggestion> paletteSuggestions(const std::vector<Command>& commands,
                                                   std::string_view query,
                                                   bool hasTextBeforeTrigger) {
    const auto matches = [&](const Command& command) {
        return query.empty() || unicode::lowercased(command.name).find(query) != std::string::npos;
    };
    std::vector<TemplateSuggestion> rows;
    const auto addRows = [&](auto&& wanted) {
        for (const auto& command : commands) {
            if (matches(command) && wanted(command))
                rows.push_back({command.name, prettifiedTemplateName(command.name),
                                command.replaceText && !hasTextBeforeTrigger});
        }
    };
    if (hasTextBeforeTrigger) {
        addRows([](const Command&) { return true; });
    } else {
        // Insert commands first, then the rewrites, each in configuration order.
        addRows([](const Command& command) { return !command.replaceText; });
        addRows([](const Command& command) { return command.replaceText; });
    }
    return rows;
}

std::string prettifiedTemplateName(std::string_view name) {
    std::string spaced(name);
    std::replace(spaced.begin(), spaced.end(), '_', ' ');
    std::replace(spaced.begin(), spaced.end(), '-', ' ');
    std::string result;
    std::size_t at = 0;
    while (at < spaced.size()) {
        const auto end = std::min(spaced.find(' ', at), spaced.size());
        if (end > at) {
            if (!result.empty())
                result += ' ';
            result += unicode::capitalized(std::string_view(spaced).substr(at, end - at));
        }
        at = end + 1;
    }
    return result;
}

int clampedSelectionIndex(int previous, const std::vector<TemplateSuggestion>& suggestions) {
    if (suggestions.empty())
        return 0;
    const int index = std::clamp(previous, 0, static_cast<int>(suggestions.size()) - 1);
    if (!suggestions[static_cast<std::size_t>(index)].isDisabled)
        return index;
    const auto enabled =
        std::find_if(suggestions.begin(), suggestions.end(),
                     [](const TemplateSuggestion& row) { return !row.isDisabled; });
    return enabled == suggestions.end() ? index : static_cast<int>(enabled - suggestions.begin());
}

int nextEnabledIndex(const std::vector<TemplateSuggestion>& suggestions, int from, int direction) {
    const int count = static_cast<int>(suggestions.size());
    if (count == 0)
        return 0;
    int index = from;
    for (int step = 0; step < count; ++step) {
        index = ((index + direction) % count + count) % count;
        if (!suggestions[static_cast<std::size_t>(index)].isDisabled)
            return index;
    }
    return from;
}

} // namespace pennial
