#include "app/command_line.hpp"

namespace pennial {

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--help" || argument == "-h") {
            line.request = Request::help;
            return line;
        }
        if (argument == "--version") {
            line.request = Request::version;
            return line;
        }
        // A desktop's session manager restarts the programs it saved with the toolkit's own
        // -session argument.
        if ((argument == "-session" || argument == "--session") && index + 1 < arguments.size()) {
            ++index;
            continue;
        }
        if (argument.starts_with("-session=") || argument.starts_with("--session="))
            continue;
        line.request = Request::invalid;
        line.unknown = argument;
        return line;
    }
    return line;
}

std::string commandLineUsage() {
    return "Usage: pennial [--help | --version]\n"
           "\n"
           "Runs AI commands on the text you type in any application: type a command such as\n"
           ";;fix at the end of a line, and the text before it is rewritten in place.\n"
           "Started without options, Pennial lives in the system tray; started again while it\n"
           "runs, it opens its window.\n"
           "\n"
           "  -h, --help     print this help and exit\n"
           "      --version  print the version and exit\n"
           "\n"
           "See pennial(1) for the environment variables and files it uses.\n";
}

std::string commandLineVersion() {
    return std::string("Pennial ") + PENNIAL_VERSION + "\n";
}

} // namespace pennial
