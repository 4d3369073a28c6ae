#pragma once
// The peer text expander's phrase, as the benchmarks give it one: typed ";;sig" is replaced by
// the phrase's text at once.

#include <filesystem>
#include <fstream>
#include <string>

namespace pennial::bench {

// Writes the phrase name with text into the peer's configuration folder (XDG_CONFIG_HOME).
inline void writePeerPhrase(const std::filesystem::path& config, const std::string& name,
                            const std::string& text) {
    const auto phrases = config / "autokey" / "data" / "Bench";
    std::filesystem::create_directories(phrases);
    std::ofstream(phrases / (name + ".txt")) << text;
    std::ofstream(phrases / ("." + name + ".json"))
        << R"({"type": "phrase", "description": "sig", "modes": [1], "usageCount": 0,
"prompt": false, "omitTrigger": false, "matchCase": false, "showInTrayMenu": false,
"abbreviation": {"abbreviations": [";;sig"], "backspace": true, "ignoreCase": false,
"immediate": true, "triggerInside": true, "wordChars": "[\\w]"},
"hotkey": {"modifiers": [], "hotKey": null}, "filter": {"regex": null, "isRecursive": false},
"sendMode": "kb"})";
}

} // namespace pennial::bench
