#include "platform/clipboard.hpp"

#include <algorithm>
#include <string_view>

namespace pennial {

namespace {

// X11's answers about the selection itself, and its server's resources (a pixmap's number means
// nothing once its owner is gone).
bool describesTheSelection(std::string_view type) {
    return type == "TARGETS" || type == "MULTIPLE" || type == "TIMESTAMP" ||
           type == "SAVE_TARGETS" || type == "PIXMAP" || type == "BITMAP" || type == "DRAWABLE" ||
           type == "COLORMAP";
}

bool isImage(std::string_view type) {
    return type.starts_with("image/") || type == "application/x-qt-image";
}

} // namespace

std::vector<std::string> typesWorthKeeping(const std::vector<std::string>& offered) {
    std::string image;
    if (std::ranges::find(offered, "image/png") != offered.end())
        image = "image/png";
    else if (auto any = std::ranges::find_if(
                 offered, [](const std::string& type) { return type.starts_with("image/"); });
             any != offered.end())
        image = *any;
    std::vector<std::string> kept;
    for (const auto& type : offered) {
        if (describesTheSelection(type) || (isImage(type) && type != image))
            continue;
        if (std::ranges::find(kept, type) == kept.end())
            kept.push_back(type);
    }
    return kept;
}

} // namespace pennial
