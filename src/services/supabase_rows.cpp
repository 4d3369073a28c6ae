#include "services/supabase_rows.hpp"

#include <fmt/format.h>

namespace pennial {
namespace {

const Json& requireArray(const Json& answer) {
    if (!answer.is_array())
        throw JsonShapeError("expected an array");
    return answer;
}

std::optional<std::map<std::string, std::string>> optionalStringMap(const Json& row,
                                                                    const char* key) {
    auto it = row.find(key);
    if (it == row.end() || it->is_null())
        return std::nullopt;
    if (!it->is_object())
        throw JsonShapeError(fmt::format("key \"{}\" is not an object of strings", key));
    std::map<std::string, std::string> map;
    for (const auto& [name, value] : it->items()) {
        if (!value.is_string())
            throw JsonShapeError(fmt::format("key \"{}\" is not an object of strings", key));
        map[name] = value.get<std::string>();
    }
    return map;
}

} // namespace

Json profilePushBody(const std::string& userId, const std::string& displayNames,
                     const std::string& writingContext) {
    Json body = Json::object();
    body["user_id"] = userId;
    body["user_display_names"] = displayNames;
    body["user_writing_context"] = writingContext;
    return body;
}

Json commandsPushBody(const std::vector<Command>& commands) {
    Json rows = Json::array();
    for (const auto& command : commands) {
        Json row = Json::object();
        row["id"] = command.id.toString();
        row["name"] = command.name;
        row["content"] = command.content;
        row["mode"] = modeName(command.replaceText);
        if (command.metadata)
            row["metadata"] = *command.metadata;
        rows.push_back(std::move(row));
    }
    Json body = Json::object();
    body["p_commands"] = std::move(rows);
    return body;
}

std::optional<RemoteProfile> decodeProfileRows(std::string_view answer) {
    auto rows = json::parse(answer);
    requireArray(rows);
    for (const auto& row : rows) {
        if (!row.is_object())
            throw JsonShapeError("a profile row is not an object");
        for (const auto& [key, value] : row.items())
            if (!value.is_string() && !value.is_null())
                throw JsonShapeError(fmt::format("key \"{}\" is not a string", key));
    }
    if (rows.empty())
        return std::nullopt;
    const auto& first = rows.front();
    return RemoteProfile{json::optionalString(first, "user_display_names"),
                         json::optionalString(first, "user_writing_context")};
}

std::vector<Command> decodeCommandRows(std::string_view answer) {
    auto rows = json::parse(answer);
    requireArray(rows);
    std::vector<Command> commands;
    for (const auto& row : rows) {
        if (!row.is_object())
            throw JsonShapeError("a command row is not an object");
        auto commandId = json::requireString(row, "command_id");
        auto name = json::requireString(row, "name");
        auto content = json::requireString(row, "content");
        auto metadata = optionalStringMap(row, "metadata");
        auto mode = json::requireString(row, "mode");
        auto id = Uuid::parse(commandId);
        if (!id)
            continue;
        Command command;
        command.id = *id;
        command.name = std::move(name);
        command.content = std::move(content);
        command.metadata = std::move(metadata);
        command.replaceText = replaceTextForMode(mode);
        commands.push_back(std::move(command));
    }
    return commands;
}

} // namespace pennial
