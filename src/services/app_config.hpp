#pragma once
// Everything the user can set that is kept between runs: the trigger pattern, the commands and the
// profile texts sent with every transform.

#include "base/json.hpp"
#include "text/command.hpp"

#include <string>
#include <vector>

namespace pennial {

struct AppConfig {
    std::string triggerPattern = ";;";
    std::vector<Command> commands;
    std::string apiBaseURL;
    double apiTimeout = 10.0; // seconds
    std::string userDisplayNames;
    std::string userWritingContext;

    bool operator==(const AppConfig&) const = default;

    // The eight commands that ship with the application. Built once per process, so their ids
    // stay the same for the whole run.
    static const std::vector<Command>& defaultCommands();
    // The product backend's base address, compiled in.
    static const char* defaultApiBaseURL();
    // The configuration in use while there is no file.
    static AppConfig defaults();

    // Keys sorted at every level, as the file is written.
    Json toJson() const;
    // All six keys are required with their types; throws JsonShapeError. Other keys are ignored.
    static AppConfig fromJson(const Json& object);
};

} // namespace pennial
