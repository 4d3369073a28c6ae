#include "text/text_runs.hpp"

#include "base/unicode.hpp"

#include <algorithm>

namespace pennial {

namespace {

// Words compared at most this many on each side (the table is their product).
constexpr std::size_t maxComparedCells = 4'000'000;

struct WordToken {
    std::size_t start = 0; // UTF-16 units
    std::size_t end = 0;
    bool word = false;
};

bool startsPair(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Runs of word characters, and every other character on its own.
std::vector<WordToken> tokens(const std::u16string& text) {
    std::vector<WordToken> found;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t size = startsPair(text[i]) && i + 1 < text.size() ? 2 : 1;
        const char32_t c =
            size == 2 ? 0x10000 + ((text[i] - 0xD800) << 10) + (text[i + 1] - 0xDC00) : text[i];
        const bool word = unicode::isWordCharacter(c);
        if (word && !found.empty() && found.back().word && found.back().end == i)
            found.back().end = i + size;
        else
            found.push_back({i, i + size, word});
        i += size;
    }
    return found;
}

struct Stretch {
    std::size_t beforeStart, beforeEnd, afterStart, afterEnd; // UTF-16 units
};

std::vector<TextRun> toRuns(const std::u16string& after, const std::vector<Stretch>& stretches) {
    std::vector<TextRun> runs;
    for (const auto& stretch : stretches)
        runs.push_back({static_cast<std::int64_t>(stretch.beforeStart),
                        static_cast<std::int64_t>(stretch.beforeEnd - stretch.beforeStart),
                        unicode::toUtf8(after.substr(stretch.afterStart,
                                                     stretch.afterEnd - stretch.afterStart))});
    return runs;
}

} // namespace

std::vector<TextRun> differingRuns(std::string_view beforeText, std::string_view afterText,
                                   std::size_t maxRuns) {
    const auto before = unicode::toUtf16(beforeText);
    const auto after = unicode::toUtf16(afterText);
    if (before == after)
        return {};
    const auto a = tokens(before);
    const auto b = tokens(after);
    auto same = [&](std::size_t i, std::size_t j) {
        return a[i].end - a[i].start == b[j].end - b[j].start &&
               std::u16string_view(before).substr(a[i].start, a[i].end - a[i].start) ==
                   std::u16string_view(after).substr(b[j].start, b[j].end - b[j].start);
    };
    // The tokens both share at their start and end are set aside before the table.
    std::size_t head = 0;
    while (head < a.size() && head < b.size() && same(head, head))
        ++head;
    std::size_t tail = 0;
    while (tail < a.size() - head && tail < b.size() - head &&
           same(a.size() - 1 - tail, b.size() - 1 - tail))
        ++tail;
    const std::size_t n = a.size() - head - tail;
    const std::size_t m = b.size() - head - tail;
    const auto startOf = [](const std::vector<WordToken>& t, std::size_t i, std::size_t total) {
        return i < t.size() ? t[i].start : total;
    };
    const Stretch whole{startOf(a, head, before.size()), startOf(a, a.size() - tail, before.size()),
                        startOf(b, head, after.size()), startOf(b, b.size() - tail, after.size())};
    if (n == 0 || m == 0 || maxRuns < 2 || (n + 1) * (m + 1) > maxComparedCells)
        return toRuns(after, {whole});

    // The longest common sequence of the tokens in between, from their end.
    std::vector<std::uint32_t> table((n + 1) * (m + 1), 0);
    auto at = [&](std::size_t i, std::size_t j) -> std::uint32_t& {
        return table[i * (m + 1) + j];
    };
    for (std::size_t i = n; i-- > 0;)
        for (std::size_t j = m; j-- > 0;)
            at(i, j) = same(head + i, head + j) ? at(i + 1, j + 1) + 1
                                                : std::max(at(i + 1, j), at(i, j + 1));
    // Walked from the start: every stretch of tokens that are not shared is a run.
    std::vector<Stretch> stretches;
    std::size_t i = 0, j = 0;
    std::size_t lastEnd = 0; // the token after the last stretch
    while (i < n || j < m) {
        if (i < n && j < m && same(head + i, head + j)) {
            ++i;
            ++j;
            continue;
        }
        const std::size_t first = i;
        Stretch stretch{startOf(a, head + i, before.size()), 0, startOf(b, head + j, after.size()),
                        0};
        while ((i < n || j < m) && !(i < n && j < m && same(head + i, head + j))) {
            if (j >= m || (i < n && at(i + 1, j) >= at(i, j + 1)))
                ++i;
            else
                ++j;
        }
        stretch.beforeEnd = startOf(a, head + i, before.size());
        stretch.afterEnd = startOf(b, head + j, after.size());
        // Shared tokens that hold no word are no reason to write apart.
        const bool wordBetween =
            std::any_of(a.begin() + static_cast<std::ptrdiff_t>(head + lastEnd),
                        a.begin() + static_cast<std::ptrdiff_t>(head + first),
                        [](const WordToken& token) { return token.word; });
        lastEnd = i;
        if (!stretches.empty() && !wordBetween) {
            stretches.back().beforeEnd = stretch.beforeEnd;
            stretches.back().afterEnd = stretch.afterEnd;
            continue;
        }
        stretches.push_back(stretch);
    }
    // Too many: the two nearest neighbours become one, until few enough.
    while (stretches.size() > maxRuns) {
        std::size_t nearest = 0;
        for (std::size_t k = 1; k + 1 < stretches.size(); ++k)
            if (stretches[k + 1].beforeStart - stretches[k].beforeEnd <
                stretches[nearest + 1].beforeStart - stretches[nearest].beforeEnd)
                nearest = k;
        stretches[nearest].beforeEnd = stretches[nearest + 1].beforeEnd;
        stretches[nearest].afterEnd = stretches[nearest + 1].afterEnd;
        stretches.erase(stretches.begin() + static_cast<std::ptrdiff_t>(nearest) + 1);
    }
    return toRuns(after, stretches);
}

} // namespace pennial
