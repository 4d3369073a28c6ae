#include "services/app_config.hpp"

// PENNIAL_API_BASE_URL comes from the CMake cache variable of the same name.

namespace pennial {

const std::vector<Command>& AppConfig::defaultCommands() {
    static const std::vector<Command> commands = {
        Command::make("fix",
                      "Fix grammar, spelling, and punctuation. Keep the original tone and "
                      "meaning. Change as little as possible — only fix actual errors.",
                      true),
        Command::make("reply",
                      "Write a reply to the conversation the user is looking at. Use the user's "
                      "note as guidance for what to say. Keep it natural and match the "
                      "conversation's tone and formality. Be concise — don't over-explain.",
                      true),
        Command::make("short",
                      "Make the following text more concise while keeping the key points. Cut "
                      "filler words, redundant phrases, and unnecessary qualifiers. Aim for half "
                      "the length or less.",
                      true),
        Command::make("tldr",
                      "Summarize the conversation visible on screen. Write a concise bulleted "
                      "summary of what was discussed, decided, and any open action items.",
                      true),
        Command::make("translate",
                      "Translate the following text to English. If it is already in English, "
                      "translate it to Spanish.",
                      true),
        Command::make("no",
                      "<polite, brief decline to what's being asked — read the conversation for "
                      "context. Give a reason if obvious, otherwise keep it vague and warm>",
                      false),
        Command::make("ty",
                      "Thanks <for what — read the conversation and write a specific, genuine "
                      "thank-you>!",
                      false),
        Command::make("sig", "Best,\n<user's first name>", false),
    };
    return commands;
}

const char* AppConfig::defaultApiBaseURL() {
    return PENNIAL_API_BASE_URL;
}

AppConfig AppConfig::defaults() {
    AppConfig config;
    config.commands = defaultCommands();
    config.apiBaseURL = defaultApiBaseURL();
    return config;
}

Json AppConfig::toJson() const {
    Json list = Json::array();
    for (const auto& command : commands)
        list.push_back(Json(command.toJson())); // a plain object sorts its keys
    return Json{{"apiBaseURL", apiBaseURL},
                {"apiTimeout", apiTimeout},
                {"commands", std::move(list)},
                {"triggerPattern", triggerPattern},
                {"userDisplayNames", userDisplayNames},
                {"userWritingContext", userWritingContext}};
}

AppConfig AppConfig::fromJson(const Json& object) {
    AppConfig config;
    config.triggerPattern = json::requireString(object, "triggerPattern");
    auto list = object.find("commands");
    if (list == object.end() || !list->is_array())
        throw JsonShapeError("key \"commands\" is not an array");
    for (const auto& command : *list)
        config.commands.push_back(Command::fromJson(command));
    config.apiBaseURL = json::requireString(object, "apiBaseURL");
    config.apiTimeout = json::requireNumber(object, "apiTimeout");
    config.userDisplayNames = json::requireString(object, "userDisplayNames");
    config.userWritingContext = json::requireString(object, "userWritingContext");
    return config;
}

} // namespace pennial
