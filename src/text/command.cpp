#include "text/command.hpp"

namespace pennial {

Command Command::make(std::string name, std::string content, bool replaceText,
                      std::optional<std::map<std::string, std::string>> metadata) {
    Command command;
    command.name = std::move(name);
    command.content = std::move(content);
    command.replaceText = replaceText;
    command.metadata = std::move(metadata);
    return command;
}

OrderedJson Command::toJson() const {
    OrderedJson object;
    object["id"] = id.toString();
    object["name"] = name;
    object["content"] = content;
    if (metadata) {
        OrderedJson map = OrderedJson::object();
        for (const auto& [key, value] : *metadata)
            map[key] = value;
        object["metadata"] = std::move(map);
    }
    object["replaceText"] = replaceText;
    return object;
}

Command Command::fromJson(const Json& object) {
    Command command;
    auto idText = json::requireString(object, "id");
    auto id = Uuid::parse(idText);
    if (!id)
        throw JsonShapeError("key \"id\" is not a UUID");
    command.id = *id;
    command.name = json::requireString(object, "name");
    command.content = json::requireString(object, "content");

    if (auto it = object.find("metadata"); it != object.end() && !it->is_null()) {
        if (!it->is_object())
            throw JsonShapeError("key \"metadata\" is not an object of strings");
        std::map<std::string, std::string> map;
        for (const auto& [key, value] : it->items()) {
            if (!value.is_string())
                throw JsonShapeError("key \"metadata\" is not an object of strings");
            map[key] = value.get<std::string>();
        }
        command.metadata = std::move(map);
    }

    if (auto replace = json::optionalBool(object, "replaceText"))
        command.replaceText = *replace;
    else if (auto mode = json::optionalString(object, "mode"))
        command.replaceText = replaceTextForMode(*mode);
    else
        command.replaceText = true;
    return command;
}

} // namespace pennial
