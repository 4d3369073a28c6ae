#pragma once
// The seed of a randomized test: PENNIAL_TEST_SEED replays one a failure printed; otherwise each
// run draws a fresh one.

#include <cstdlib>
#include <random>
#include <string>

namespace pennial::testing {

inline unsigned testSeed() {
    if (const char* given = std::getenv("PENNIAL_TEST_SEED"); given && *given)
        return static_cast<unsigned>(std::stoul(given));
    return std::random_device{}();
}

inline std::string seedTrace(unsigned seed) {
    return "seed " + std::to_string(seed) + " (PENNIAL_TEST_SEED replays it)";
}

} // namespace pennial::testing
