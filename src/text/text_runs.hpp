#pragma once
// Where a text and its rewrite differ: the runs of words that change, each with what replaces it,
// the words they share left out. A rewrite written run by run keeps whatever lies between the
// runs (a link, a bold word) as it was.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pennial {

struct TextRun {
    std::int64_t location = 0; // in before, UTF-16 units
    std::int64_t length = 0;
    std::string text; // what replaces it
    bool operator==(const TextRun&) const = default;
};

// In order, apart, at most maxRuns (nearer runs are merged first). Runs apart only by white space
// or punctuation are one. Empty when the texts are the same; one run (their common start and end
// set aside) for texts too long to compare word by word.
std::vector<TextRun> differingRuns(std::string_view before, std::string_view after,
                                   std::size_t maxRuns);

} // namespace pennial
