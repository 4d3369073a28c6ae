#pragma once
// What the desktop benchmarks share: the test editor (tools/test_editor) run as another
// application, its window active and a field focused, driven through its stdin commands; keys
// typed through XTest; and the CPU time a process has used. Run them inside
// scripts/desktop-session.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace pennial::bench {

using namespace std::chrono_literals;
using Milliseconds = std::chrono::duration<double, std::milli>;

// The value a fraction of the way through the sorted values (0.5 the median, 1 the largest).
inline double percentile(std::vector<Milliseconds> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))]
        .count();
}

inline bool hasDisplay() {
    return std::getenv("DISPLAY") != nullptr;
}

// Runs a program to its end; throws when it fails.
inline void run(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        throw std::runtime_error(arguments.front() + " failed");
}

// Types the text as the keyboard would (each key pressed and released through XTest).
inline void typeOnKeyboard(const std::string& text, int delayMilliseconds = 5) {
    run({"xdotool", "type", "--delay", std::to_string(delayMilliseconds), "--", text});
}

inline Milliseconds ownCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// How often this process's threads have given up the processor so far (each wake-up of a thread
// that waited costs one).
inline long contextSwitches() {
    long total = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.find("ctxt_switches:") != std::string::npos)
                total += std::stol(line.substr(line.find(':') + 1));
    }
    return total;
}

// User and system time of another process so far.
inline Milliseconds cpuTimeOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14)
            user = std::stoull(field);
        if (index == 15) {
            system = std::stoull(field);
            break;
        }
    }
    return Milliseconds(1000.0 * static_cast<double>(user + system) /
                        static_cast<double>(::sysconf(_SC_CLK_TCK)));
}

class TestEditor {
public:
    // focus: "multi" or "single".
    explicit TestEditor(const std::string& focus = "multi") {
        int toEditor[2], fromEditor[2];
        if (::pipe(toEditor) != 0 || ::pipe(fromEditor) != 0)
            throw std::runtime_error("no pipe for the test editor");
        const std::string path = editorPath(), focusArgument = "--focus=" + focus;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(toEditor[0], STDIN_FILENO);
            ::dup2(fromEditor[1], STDOUT_FILENO);
            for (int descriptor : {toEditor[0], toEditor[1], fromEditor[0], fromEditor[1]})
                ::close(descriptor);
            ::execl(path.c_str(), path.c_str(), focusArgument.c_str(), "--stdin-commands",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(toEditor[0]);
        ::close(fromEditor[1]);
        commands_ = ::fdopen(toEditor[1], "w");
        answers_ = ::fdopen(fromEditor[0], "r");
        if (readLine() != "ready")
            throw std::runtime_error("the test editor did not start");
        activate();
    }
    ~TestEditor() {
        std::fputs("quit\n", commands_);
        std::fclose(commands_);
        std::fclose(answers_);
        ::waitpid(pid_, nullptr, 0);
    }
    TestEditor(const TestEditor&) = delete;
    TestEditor& operator=(const TestEditor&) = delete;

    pid_t pid() const { return pid_; }

    // The focused field's text.
    std::string text() {
        const std::string hex = command("text").substr(5);
        std::string text;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            text.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
        return text;
    }

    // Makes its window the active one, with the field focused.
    void activate() {
        const std::string pid = std::to_string(pid_);
        for (int attempt = 0; attempt < 20; ++attempt) {
            run({"xdotool", "search", "--sync", "--all", "--pid", pid, "--name",
                 "Pennial Test Editor", "windowactivate", "--sync"});
            for (int look = 0; look < 25; ++look) {
                if (command("focused") == "focused yes")
                    return;
                std::this_thread::sleep_for(10ms);
            }
        }
        throw std::runtime_error("the test editor did not get the focus");
    }

private:
    static std::string editorPath() {
        if (const char* path = std::getenv("PENNIAL_TEST_EDITOR"))
            return path;
        // build/<preset>/bench/<this program> -> build/<preset>/tools/test_editor/...
        char self[4096] = {};
        const auto length = ::readlink("/proc/self/exe", self, sizeof self - 1);
        std::string folder(self, length > 0 ? static_cast<std::size_t>(length) : 0);
        folder = folder.substr(0, folder.rfind('/'));
        return folder + "/../tools/test_editor/pennial_test_editor";
    }

    std::string command(const char* line) {
        std::fputs(line, commands_);
        std::fputc('\n', commands_);
        std::fflush(commands_);
        return readLine();
    }

    std::string readLine() {
        std::string line;
        for (int c = std::fgetc(answers_); c != '\n'; c = std::fgetc(answers_)) {
            if (c == EOF)
                throw std::runtime_error("the test editor did not answer");
            line.push_back(static_cast<char>(c));
        }
        return line;
    }

    pid_t pid_ = -1;
    std::FILE* commands_ = nullptr;
    std::FILE* answers_ = nullptr;
};

} // namespace pennial::bench
