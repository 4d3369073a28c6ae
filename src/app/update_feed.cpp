#include "app/update_feed.hpp"

#include "base/json.hpp"

#include <charconv>
#include <sodium.h>
#include <vector>

namespace pennial {

namespace {

std::vector<unsigned char> decodeBase64(std::string_view text) {
    std::vector<unsigned char> bytes(text.size());
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0)
        throw UpdateFeedError("not base64");
    bytes.resize(length);
    return bytes;
}

// The next dotted part's number, advancing past it and its dot.
unsigned long nextPart(std::string_view& version) {
    unsigned long value = 0;
    auto [end, error] = std::from_chars(version.data(), version.data() + version.size(), value);
    if (error != std::errc())
        value = 0;
    const auto dot = version.find('.');
    version = dot == std::string_view::npos ? std::string_view() : version.substr(dot + 1);
    return value;
}

} // namespace

UpdateFeedItem parseUpdateFeed(std::string_view text) {
    try {
        const auto object = json::parse(text);
        if (!object.is_object())
            throw UpdateFeedError("the update feed is not a JSON object");
        UpdateFeedItem item;
        item.version = json::requireString(object, "version");
        item.releaseNotes = json::optionalString(object, "notes").value_or("");
        item.archiveURL = json::requireString(object, "url");
        const double size = json::requireNumber(object, "size");
        if (!(size > 0 && size < 1e12))
            throw UpdateFeedError("the update feed gives no archive size");
        item.archiveSize = static_cast<std::size_t>(size);
        item.signature = json::requireString(object, "signature");
        if (item.version.empty() || item.archiveURL.empty())
            throw UpdateFeedError("the update feed names no version or archive");
        return item;
    } catch (const UpdateFeedError&) {
        throw;
    } catch (const std::exception& error) {
        throw UpdateFeedError(std::string("the update feed cannot be read: ") + error.what());
    }
}

bool isNewerVersion(std::string_view candidate, std::string_view current) {
    while (!candidate.empty() || !current.empty()) {
        const auto a = nextPart(candidate);
        const auto b = nextPart(current);
        if (a != b)
            return a > b;
    }
    return false;
}

UpdateSigningKey decodeSigningKey(std::string_view base64) {
    const auto bytes = decodeBase64(base64);
    UpdateSigningKey key{};
    if (bytes.size() != key.size())
        throw UpdateFeedError("an update signing key has 32 bytes");
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

bool archiveSignatureValid(std::string_view archive, std::string_view signatureBase64,
                           const UpdateSigningKey& key) {
    if (sodium_init() < 0)
        return false;
    std::vector<unsigned char> signature;
    try {
        signature = decodeBase64(signatureBase64);
    } catch (const UpdateFeedError&) {
        return false;
    }
    if (signature.size() != crypto_sign_BYTES)
        return false;
    return crypto_sign_verify_detached(signature.data(),
                                       reinterpret_cast<const unsigned char*>(archive.data()),
                                       archive.size(), key.data()) == 0;
}

} // namespace pennial
