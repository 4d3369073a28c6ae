#pragma once
// The bounds of every walk over another application's tree and of the captured context: caps and
// the messaging time-outs set on each element before it is read.

#include <chrono>
#include <cstddef>

namespace pennial::context_limits {

using Seconds = std::chrono::duration<double>;

// Captured text, counted in characters, everywhere it is capped.
inline constexpr std::size_t maxTextCharacters = 30000;
// A whole context capture; the strategies stop when it is spent and what they have is used.
inline constexpr std::chrono::milliseconds captureDeadline{2000};
// Elements one static-text harvest may visit.
inline constexpr int staticHarvestMaxElements = 500;
// Levels of a window's anonymized tree: depths 0 to 29.
inline constexpr int anonymizedTreeLevels = 30;

// Messaging time-outs.
inline constexpr Seconds harvestElementTimeout{0.05};
inline constexpr Seconds searchElementTimeout{0.1};
inline constexpr Seconds anonymizedElementTimeout{0.03};
inline constexpr Seconds applicationAndWindowTimeout{0.3};
inline constexpr Seconds wholeTextReadTimeout{0.5};

} // namespace pennial::context_limits
