// The text helpers of the trigger pipeline and the Unicode conversions under them. Input: two
// bytes of offsets, then pattern, name and text separated by 0x01.
#include "base/unicode.hpp"
#include "fuzz_support.hpp"
#include "text/text_processing.hpp"

#include <string>

using namespace pennial;

namespace {

std::string_view nextPart(std::string_view& rest) {
    auto cut = rest.find('\x01');
    auto part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    auto rest = fuzz::text(data + 2, size - 2);
    auto pattern = nextPart(rest);
    auto name = nextPart(rest);
    auto text = rest;

    auto clean = unicode::sanitizeUtf8(text);
    fuzz::check(unicode::toUtf8(unicode::toUtf16(clean)) == clean, "UTF-16 round trip");
    auto length = unicode::utf16Length(clean);
    std::size_t offset = std::size_t(data[0]) * 256 + data[1];
    if (auto byte = unicode::byteOffsetForUtf16(clean, offset))
        fuzz::check(unicode::utf16OffsetForByte(clean, *byte) == offset, "offsets convert back");
    unicode::sliceUtf16(clean, offset % (length + 1), data[1]);
    auto prefix = unicode::graphemePrefix(clean, data[0]);
    fuzz::check(clean.starts_with(prefix), "a grapheme prefix is a prefix");
    unicode::dropLastGrapheme(clean);
    unicode::findCaseInsensitive(clean, pattern);
    unicode::nfc(text);
    unicode::capitalized(text);

    auto split = TextProcessing::splitAtTrigger(text, pattern, (long long)offset - 256);
    TextProcessing::composeSnippetText(split.textBefore, name, split.suffix);
    TextProcessing::completedPattern(pattern, text, name);
    TextProcessing::trimEmailFooter(text);
    return 0;
}
