// Both atomic writers flush the temporary file before renaming it over the old one: without the
// flush, a power loss right after the rename can leave an empty file where the settings were.
// fsync, fdatasync and rename are interposed here to watch their order.

#include "platform/linux/storage/atomic_file.hpp"
#include "services/file_config_storage.hpp"
#include "temp_folder.hpp"

#include <atomic>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> watching{false};
std::mutex eventsMutex;
std::vector<std::string> events;

std::string pathOf(int fd) {
    char target[4096];
    auto length =
        ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1);
    return length < 0 ? std::string() : std::string(target, std::size_t(length));
}

void record(std::string event) {
    if (!watching)
        return;
    std::lock_guard lock(eventsMutex);
    events.push_back(std::move(event));
}

template <typename Function> Function next(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd) {
    record("flush " + pathOf(fd));
    static auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int fdatasync(int fd) {
    record("flush " + pathOf(fd));
    static auto real = next<int (*)(int)>("fdatasync");
    return real(fd);
}

extern "C" int rename(const char* from, const char* to) {
    record(std::string("rename ") + from);
    static auto real = next<int (*)(const char*, const char*)>("rename");
    return real(from, to);
}

namespace {

// Every rename of a temporary file comes after a flush of that same file.
void expectFlushedBeforeRenamed(const std::function<void()>& save) {
    {
        std::lock_guard lock(eventsMutex);
        events.clear();
    }
    watching = true;
    save();
    watching = false;
    std::lock_guard lock(eventsMutex);
    int renames = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        if (!events[i].starts_with("rename "))
            continue;
        ++renames;
        auto flushed = "flush " + events[i].substr(7);
        EXPECT_NE(std::find(events.begin(), events.begin() + long(i), flushed),
                  events.begin() + long(i))
            << events[i] << " without a flush before it";
    }
    EXPECT_EQ(renames, 1);
}

} // namespace

TEST(AtomicSave, TheTemporaryFileIsFlushedBeforeItReplacesTheOldOne) {
    pennial::testing::TempFolder folder;
    pennial::FileConfigStorage storage(folder / "config.json");
    expectFlushedBeforeRenamed([&] { storage.saveNow(pennial::AppConfig::defaults()); });
    expectFlushedBeforeRenamed(
        [&] { pennial::writeFileAtomically(folder / "defaults.json", "{}\n"); });
}
