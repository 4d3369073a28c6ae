#include "services/transform_request.hpp"

namespace pennial {

OrderedJson TransformRequest::toJson() const {
    OrderedJson object;
    object["text"] = text;
    object["command"] = command;
    object["content"] = content;
    object["mode"] = mode;
    if (context)
        object["context"] = context->toJson();
    if (userDisplayNames)
        object["userDisplayNames"] = *userDisplayNames;
    if (userWritingContext)
        object["userWritingContext"] = *userWritingContext;
    return object;
}

TransformRequest TransformRequest::fromJson(const Json& object) {
    TransformRequest request;
    request.text = json::requireString(object, "text");
    request.command = json::requireString(object, "command");
    request.content = json::requireString(object, "content");
    request.mode = json::requireString(object, "mode");
    if (auto found = object.find("context"); found != object.end() && !found->is_null())
        request.context = AppContext::fromJson(*found);
    request.userDisplayNames = json::optionalString(object, "userDisplayNames");
    request.userWritingContext = json::optionalString(object, "userWritingContext");
    return request;
}

} // namespace pennial
