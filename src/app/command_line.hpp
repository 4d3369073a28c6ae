#pragma once
// What the command line asks of the program: to run as the tray program, or only to print its
// usage or version. Read before the toolkit starts, so that these work without a display.

#include <string>
#include <vector>

namespace pennial {

struct CommandLine {
    enum class Request { run, help, version, invalid };
    Request request = Request::run;
    std::string unknown; // the first argument not understood, for an invalid one

    // arguments without the program's name.
    static CommandLine parse(const std::vector<std::string>& arguments);
};

std::string commandLineUsage();
std::string commandLineVersion();

} // namespace pennial
