#include "services/server_text.hpp"

#include "base/json.hpp"
#include "base/unicode.hpp"

#include <fmt/format.h>

namespace pennial {

std::string plainServerText(std::string_view text) {
    std::string line = unicode::sanitizeUtf8(text);
    for (std::size_t i = 0; i < line.size(); ++i) {
        auto byte = static_cast<unsigned char>(line[i]);
        if (byte < 0x20 || byte == 0x7f) {
            line[i] = ' ';
        } else if (byte == 0xc2 && i + 1 < line.size() &&
                   static_cast<unsigned char>(line[i + 1]) < 0xa0) {
            line.replace(i, 2, " "); // C1 controls, U+0080 to U+009F
        }
    }
    if (unicode::graphemeCount(line) <= maxQuotedServerCharacters)
        return line;
    return unicode::graphemePrefix(line, maxQuotedServerCharacters - 1) + "…";
}

std::string quotedServerBody(const std::optional<std::string>& body) {
    if (!body || unicode::sanitizeUtf8(*body) != *body)
        return "<no body>";
    try {
        json::parse(*body);
    } catch (const JsonShapeError&) {
        return fmt::format("<a body of {} bytes that is not JSON>", body->size());
    }
    return plainServerText(*body);
}

} // namespace pennial
