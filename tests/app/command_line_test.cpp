#include "app/command_line.hpp"

#include <gtest/gtest.h>

using pennial::CommandLine;
using Request = CommandLine::Request;

TEST(CommandLineTest, AsksForHelpVersionOrTheTrayProgramAndNamesTheFirstWrongArgument) {
    struct Case {
        std::vector<std::string> arguments;
        Request request;
        std::string unknown;
    };
    const Case cases[] = {
        {{}, Request::run, ""},
        {{"--help"}, Request::help, ""},
        {{"-h", "--bogus"}, Request::help, ""},
        {{"--version"}, Request::version, ""},
        // A session manager's restart of a saved session.
        {{"-session", "10d3a2e7f"}, Request::run, ""},
        {{"--session=10d3a2e7f", "--version"}, Request::version, ""},
        {{"-session"}, Request::invalid, "-session"},
        {{"--verbose"}, Request::invalid, "--verbose"},
        {{"file.txt", "--help"}, Request::invalid, "file.txt"},
        {{"-"}, Request::invalid, "-"},
    };
    for (const auto& [arguments, request, unknown] : cases) {
        const auto line = CommandLine::parse(arguments);
        EXPECT_EQ(line.request, request) << ::testing::PrintToString(arguments);
        EXPECT_EQ(line.unknown, unknown) << ::testing::PrintToString(arguments);
    }
}
