// The crash reports' scrubber over any text: the escapes it decodes to find secrets quoted in other
// forms come from servers and libraries. Input: a secret, 0x01, then the text around it.
#include "base/secret_scrubber.hpp"

#include "base/json.hpp"
#include "fuzz_support.hpp"

#include <string>

using namespace pennial;

namespace {

// Whether out may still hold needle: only when the filtered mark itself could make it up (a needle
// without brackets can overlap a mark only inside it).
bool mayRemain(std::string_view needle) {
    return needle.find_first_of("[]") != std::string_view::npos ||
           SecretScrubber::filtered.find(needle) != std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto input = fuzz::text(data, size);
    auto cut = input.find('\x01');
    if (cut == std::string_view::npos)
        return 0;
    auto secret = input.substr(0, cut);
    auto text = std::string(input.substr(cut + 1));

    SecretScrubber scrubber;
    scrubber.remember(secret);
    scrubber.scrub(text);
    bool plain = secret.size() >= SecretScrubber::minSecretLength &&
                 secret.size() <= SecretScrubber::maxSecretLength &&
                 secret.find_first_of(" \t\r\n") == std::string_view::npos;
    if (!plain)
        return 0;
    auto half = text.size() / 2;
    auto raw = text.substr(0, half) + std::string(secret) + text.substr(half);
    if (!mayRemain(secret))
        fuzz::check(scrubber.scrub(raw).find(secret) == std::string::npos, "a told secret stays");
    // Quoted in JSON, with spaces around: a backslash before it would make it other text.
    auto dumped = Json(std::string(secret)).dump(-1, ' ', true, Json::error_handler_t::replace);
    auto escaped = dumped.substr(1, dumped.size() - 2);
    auto quoted = text.substr(0, half) + " " + escaped + " " + text.substr(half);
    if (!mayRemain(escaped) && Json::parse(dumped).get<std::string>() == secret)
        fuzz::check(scrubber.scrub(quoted).find(escaped) == std::string::npos,
                    "a told secret stays JSON-escaped");
    return 0;
}
