#include "platform/linux/atspi/atspi_offsets.hpp"

#include "base/unicode.hpp"

#include <algorithm>

namespace pennial {

namespace {

bool isContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// UTF-16 units of the character whose UTF-8 sequence starts with this byte.
int utf16UnitsOf(char leadByte) {
    return (static_cast<unsigned char>(leadByte) & 0xF8) == 0xF0 ? 2 : 1;
}

} // namespace

AtspiToolkit toolkitNamed(std::string_view toolkitName, std::string_view applicationName) {
    // LibreOffice calls itself GTK 3 on the bus, but hands its own UTF-16 offsets through.
    if (applicationName == "soffice")
        return {AtspiTextUnits::utf16, true, false, false, false, true};
    if (toolkitName == "Qt")
        return {AtspiTextUnits::utf16, true, false, true, false};
    // Its padded code points count as the unpadded text's UTF-16 units.
    if (toolkitName == "Gecko") {
        AtspiToolkit gecko{AtspiTextUnits::utf16, true, true};
        gecko.makesSelectionsLate = true;
        return gecko;
    }
    // Its page too runs in another process; and it reports selections in offsets of its own.
    if (toolkitName == "Chromium") {
        AtspiToolkit chromium;
        chromium.makesSelectionsLate = true;
        chromium.reportsSelectionsElsewhere = true;
        return chromium;
    }
    // GTK 3 ("gtk"; GTK 4 calls itself "GTK") reads its entries and text views up to -1: the read
    // that confirms a field at rest is then one request to the application, not two.
    if (toolkitName == "gtk")
        return {AtspiTextUnits::codePoints, true};
    if (toolkitName == "GTK")
        return {AtspiTextUnits::codePoints, false, false, false, true};
    return {};
}

std::int64_t lengthIn(std::string_view text, AtspiTextUnits units) {
    if (units == AtspiTextUnits::utf16)
        return static_cast<std::int64_t>(unicode::utf16Length(text));
    std::int64_t count = 0;
    for (char byte : text)
        count += isContinuationByte(byte) ? 0 : 1;
    return count;
}

std::int64_t toUtf16Offset(std::string_view text, std::int64_t offset, AtspiTextUnits units) {
    if (offset <= 0)
        return 0;
    if (units == AtspiTextUnits::utf16)
        return std::min(offset, static_cast<std::int64_t>(unicode::utf16Length(text)));
    std::int64_t characters = 0;
    std::int64_t utf16 = 0;
    for (char byte : text) {
        if (isContinuationByte(byte))
            continue;
        if (characters == offset)
            break;
        ++characters;
        utf16 += utf16UnitsOf(byte);
    }
    return utf16;
}

std::optional<std::int64_t> fromUtf16Offset(std::string_view text, std::int64_t offset,
                                            AtspiTextUnits units) {
    if (offset < 0)
        return std::nullopt;
    if (units == AtspiTextUnits::utf16) {
        if (offset > static_cast<std::int64_t>(unicode::utf16Length(text)))
            return std::nullopt;
        return offset;
    }
    std::int64_t characters = 0;
    std::int64_t utf16 = 0;
    for (char byte : text) {
        if (utf16 >= offset)
            break;
        if (isContinuationByte(byte))
            continue;
        ++characters;
        utf16 += utf16UnitsOf(byte);
    }
    if (utf16 != offset)
        return std::nullopt;
    return characters;
}

std::string withoutAstralPadding(std::string_view text) {
    constexpr std::string_view padding = "\xEF\xBB\xBF"; // U+FEFF
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const bool astral = (static_cast<unsigned char>(text[i]) & 0xF8) == 0xF0;
        const std::size_t length = astral ? std::min<std::size_t>(4, text.size() - i) : 1;
        result.append(text.substr(i, length));
        i += length;
        if (astral && text.substr(i, padding.size()) == padding)
            i += padding.size();
    }
    return result;
}

std::int64_t insertionLength(std::string_view text, const AtspiToolkit& toolkit) {
    return toolkit.units == AtspiTextUnits::utf16 && !toolkit.takesInsertedBytes
               ? static_cast<std::int64_t>(unicode::utf16Length(text))
               : static_cast<std::int64_t>(text.size());
}

} // namespace pennial
