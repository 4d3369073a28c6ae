// defaults.json as the program meets it at start: read, decoded or kept aside, then written.
#include "fuzz_support.hpp"
#include "platform/linux/storage/file_user_defaults.hpp"

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // scripts/fuzz points TMPDIR at a memory-backed folder that it removes afterwards.
    static const auto folder = [] {
        auto made = std::filesystem::temp_directory_path() /
                    ("pennial-fuzz-defaults-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder);
    auto file = folder / "defaults.json";
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));

    FileUserDefaults defaults(file);
    bool before = defaults.boolForKey("hasSeenWelcomeOnboarding");
    defaults.setBool("hasSeenVideoIntro", true);
    FileUserDefaults reread(file);
    fuzz::check(reread.boolForKey("hasSeenVideoIntro"), "a flag set is kept");
    fuzz::check(reread.boolForKey("hasSeenWelcomeOnboarding") == before,
                "other flags are kept as they were read");
    return 0;
}
