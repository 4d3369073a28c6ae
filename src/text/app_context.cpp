#include "text/app_context.hpp"

namespace pennial {

OrderedJson AppContext::toJson() const {
    OrderedJson object;
    object["appName"] = appName;
    object["bundleIdentifier"] = bundleIdentifier;
    object["windowTitle"] = windowTitle;
    if (documentPath)
        object["documentPath"] = *documentPath;
    if (surroundingText)
        object["surroundingText"] = *surroundingText;
    return object;
}

AppContext AppContext::fromJson(const Json& object) {
    AppContext context;
    context.appName = json::requireString(object, "appName");
    context.bundleIdentifier = json::requireString(object, "bundleIdentifier");
    context.windowTitle = json::requireString(object, "windowTitle");
    context.documentPath = json::optionalString(object, "documentPath");
    context.surroundingText = json::optionalString(object, "surroundingText");
    return context;
}

} // namespace pennial
