#pragma once
// What every target shares: the input as text, quiet logging, and an oracle failure that stops
// the run with the reason.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace pennial::fuzz {

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "oracle failed: %s\n", what);
    std::abort();
}

inline void check(bool holds, const char* what) {
    if (!holds)
        fail(what);
}

} // namespace pennial::fuzz

// Log lines would drown the fuzzer's own output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("PENNIAL_QUIET_LOG", "1", 1);
    return 0;
}
