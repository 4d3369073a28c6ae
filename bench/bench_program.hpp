#pragma once
// Running the program itself as a user runs it, for the benchmarks that measure it whole: the
// program built beside the benchmark, a returning user's settings and session (a local backend
// stands in for the product's), started and awaited until it monitors.

#include "bench_child_process.hpp"
#include "platform/linux/storage/libsecret_store.hpp"
#include "services/auth_session.hpp"
#include "services/keychain_store.hpp"
#include "support/fake_backend.hpp"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pennial::bench {

inline constexpr const char* sessionService = "com.pennial.Pennial.auth";
inline constexpr const char* sessionKey = "session";
inline constexpr const char* monitoringStarted = "✅ [Pennial] Monitoring started successfully";

// The program measured: the one built beside this benchmark, or the one PENNIAL_BENCH_PROGRAM
// names (a debug build, say).
inline std::string programPath() {
    if (const char* path = std::getenv("PENNIAL_BENCH_PROGRAM"))
        return path;
    // build/<preset>/bench/<this program> -> build/<preset>/src/pennial
    char self[4096] = {};
    const auto length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string folder(self, length > 0 ? static_cast<std::size_t>(length) : 0);
    return folder.substr(0, folder.rfind('/')) + "/../src/pennial";
}

inline std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A program started for the benchmark, its output into a file; stopped when this goes.
class Child {
public:
    Child(std::vector<std::string> arguments, std::vector<std::string> environment,
          const std::filesystem::path& output) {
        pid_ = startChild(std::move(arguments), std::move(environment), output.c_str(), false);
    }
    ~Child() {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
};

inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto until = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A returning user: onboarding done, a session in the keyring that the local backend knows.
// Returns the user's id, so that the backend can be given the user's commands.
inline std::string signIn(testing::FakeBackend& backend, const std::filesystem::path& home) {
    const auto settings = home / ".config" / "pennial";
    std::filesystem::create_directories(settings);
    std::ofstream(settings / "defaults.json")
        << R"({"hasCompletedPlaygroundOnboarding": true, "hasCompletedProfileOnboarding": true,
"hasSeenVideoIntro": true, "hasSeenWelcomeOnboarding": true,
"hasDismissedMoveToApplications": true})";
    auto issued = backend.issueSession("ada@example.test");
    AuthSession session{issued.userId, issued.accessToken, issued.refreshToken,
                        std::chrono::system_clock::now() + std::chrono::hours(2), issued.email};
    KeychainStore(std::make_shared<LibsecretStore>(), sessionService)
        .save(sessionKey, session.toJson());
    return issued.userId;
}

inline void signOut() {
    KeychainStore(std::make_shared<LibsecretStore>(), sessionService).remove(sessionKey);
}

// The program, signed in against the backend, its log in folder/pennial.log; returns once it
// monitors.
inline std::unique_ptr<Child> startProgram(const std::string& program,
                                           testing::FakeBackend& backend,
                                           const std::filesystem::path& home,
                                           const std::filesystem::path& folder) {
    const auto runtime = folder / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const auto log = folder / "pennial.log";
    auto child = std::make_unique<Child>(
        std::vector<std::string>{program},
        std::vector<std::string>{"HOME=" + home.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
                                 "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                 "XDG_STATE_HOME=" + (home / ".local/state").string(),
                                 "PENNIAL_QUIET_LOG=", "PENNIAL_API_BASE_URL=" + backend.baseURL(),
                                 "PENNIAL_SUPABASE_URL=" + backend.baseURL(),
                                 "PENNIAL_SUPABASE_PUBLISHABLE_KEY=local-key"},
        log);
    if (!waitFor([&] { return fileText(log).find(monitoringStarted) != std::string::npos; },
                 std::chrono::seconds(30))) {
        std::fputs(fileText(log).c_str(), stderr);
        throw std::runtime_error("the program did not start monitoring (see its log above)");
    }
    return child;
}

} // namespace pennial::bench
