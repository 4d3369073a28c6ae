#pragma once
// Starting the applications and programs a desktop benchmark drives.

#include <fcntl.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

namespace pennial::bench {

// Starts arguments as a child that dies with the benchmark, with environment ("NAME=value")
// added to ours and its output to log when given (appended, or written anew).
inline pid_t startChild(std::vector<std::string> arguments,
                        std::vector<std::string> environment = {}, const char* log = nullptr,
                        bool append = true) {
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (const int file =
            log ? ::open(log, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC), 0600) : -1;
        file >= 0) {
        ::dup2(file, STDOUT_FILENO);
        ::dup2(file, STDERR_FILENO);
    }
    for (auto& variable : environment)
        ::putenv(variable.data());
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

} // namespace pennial::bench
