#include "app/update_feed.hpp"

#include "base/json.hpp"

#include <algorithm>
#include <cctype>
#include <fmt/format.h>
#include <sodium.h>

namespace pennial {

namespace {

constexpr std::size_t maxVersionParts = 4;
constexpr std::size_t maxVersionPartDigits = 9; // fits in 32 bits

std::vector<unsigned char> decodeBase64(std::string_view text) {
    if (text.empty()) // no buffer to hand the decoder, and nothing to decode
        return {};
    std::vector<unsigned char> bytes(text.size());
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0)
        throw UpdateFeedError("not base64");
    bytes.resize(length);
    return bytes;
}

std::string encodeBase64(const unsigned char* bytes, std::size_t length) {
    std::string text(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, length, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1); // its terminating zero
    return text;
}

std::string signedMessage(std::string_view itemText) {
    std::string message(updateFeedSignatureContext);
    message += itemText;
    return message;
}

std::uint64_t archiveSizeOf(const Json& item, std::uint64_t maxArchiveSize) {
    const auto size = item.find("size");
    // Only a JSON integer: 4.9e-324 or 1e9 are not a count of bytes.
    if (size == item.end() || !size->is_number_unsigned() || size->get<std::uint64_t>() == 0)
        throw UpdateFeedError("the update feed gives no archive size in bytes");
    const auto bytes = size->get<std::uint64_t>();
    if (bytes > maxArchiveSize)
        throw UpdateFeedError(fmt::format(
            "the update feed announces an archive of {} bytes, more than an update may have ({})",
            bytes, maxArchiveSize));
    return bytes;
}

std::string digestOf(const Json& item) {
    auto digest = json::requireString(item, "sha256");
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (digest.size() != crypto_hash_sha256_BYTES * 2 ||
        !std::all_of(digest.begin(), digest.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
        throw UpdateFeedError("the update feed gives no SHA-256 digest of its archive");
    return digest;
}

} // namespace

UpdateFeed parseUpdateFeed(std::string_view text, std::uint64_t maxArchiveSize) {
    try {
        const auto feed = json::parse(text);
        if (!feed.is_object())
            throw UpdateFeedError("the update feed is not a JSON object");
        UpdateFeed result;
        result.itemText = json::requireString(feed, "item");
        result.signature = json::requireString(feed, "itemSignature");
        const auto item = json::parse(result.itemText);
        if (!item.is_object())
            throw UpdateFeedError("the update feed's item is not a JSON object");
        auto& out = result.item;
        out.version = json::requireString(item, "version");
        if (!parseVersion(out.version))
            throw UpdateFeedError("the update feed's version is not a version number");
        out.releaseNotes = json::optionalString(item, "notes").value_or("");
        out.archiveURL = json::requireString(item, "url");
        if (out.archiveURL.empty())
            throw UpdateFeedError("the update feed names no archive");
        out.archiveSize = archiveSizeOf(item, maxArchiveSize);
        out.archiveSHA256 = digestOf(item);
        return result;
    } catch (const UpdateFeedError&) {
        throw;
    } catch (const std::exception& error) {
        throw UpdateFeedError(std::string("the update feed cannot be read: ") + error.what());
    }
}

bool feedSignatureValid(const UpdateFeed& feed, const UpdateSigningKey& key) {
    if (sodium_init() < 0)
        return false;
    std::vector<unsigned char> signature;
    try {
        signature = decodeBase64(feed.signature);
    } catch (const UpdateFeedError&) {
        return false;
    }
    if (signature.size() != crypto_sign_BYTES)
        return false;
    const auto message = signedMessage(feed.itemText);
    return crypto_sign_verify_detached(signature.data(),
                                       reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key.data()) == 0;
}

std::string writeSignedUpdateFeed(std::string_view itemText, const UpdateSecretKey& key) {
    if (sodium_init() < 0)
        throw UpdateFeedError("libsodium cannot start");
    const auto message = signedMessage(itemText);
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                         message.size(), key.data());
    OrderedJson feed;
    feed["item"] = std::string(itemText);
    feed["itemSignature"] = encodeBase64(signature, sizeof signature);
    return json::dump(feed, 2) + "\n";
}

std::string updateFeedItemText(const UpdateFeedItem& item) {
    OrderedJson text;
    text["version"] = item.version;
    text["notes"] = item.releaseNotes;
    text["url"] = item.archiveURL;
    text["size"] = item.archiveSize;
    text["sha256"] = item.archiveSHA256;
    return json::dump(text);
}

std::optional<std::vector<std::uint32_t>> parseVersion(std::string_view version) {
    std::vector<std::uint32_t> parts;
    for (;;) {
        const auto dot = version.find('.');
        const auto part = version.substr(0, dot);
        if (part.empty() || part.size() > maxVersionPartDigits || parts.size() == maxVersionParts ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        std::uint32_t value = 0;
        for (char c : part)
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        parts.push_back(value);
        if (dot == std::string_view::npos)
            return parts;
        version.remove_prefix(dot + 1);
    }
}

bool isNewerVersion(std::string_view candidate, std::string_view current) {
    auto a = parseVersion(candidate);
    auto b = parseVersion(current);
    if (!a || !b)
        return false;
    const auto length = std::max(a->size(), b->size());
    a->resize(length);
    b->resize(length);
    return *a > *b;
}

UpdateSigningKey decodeSigningKey(std::string_view base64) {
    const auto bytes = decodeBase64(base64);
    UpdateSigningKey key{};
    if (bytes.size() != key.size())
        throw UpdateFeedError("an update signing key has 32 bytes");
    std::copy(bytes.begin(), bytes.end(), key.begin());
    return key;
}

struct ArchiveDigest::State {
    crypto_hash_sha256_state sha256;
};

ArchiveDigest::ArchiveDigest() : state_(std::make_unique<State>()) {
    crypto_hash_sha256_init(&state_->sha256);
}

ArchiveDigest::~ArchiveDigest() = default;

void ArchiveDigest::update(std::string_view bytes) {
    crypto_hash_sha256_update(&state_->sha256, reinterpret_cast<const unsigned char*>(bytes.data()),
                              bytes.size());
}

std::string ArchiveDigest::hex() {
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state_->sha256, digest);
    char text[sizeof digest * 2 + 1];
    sodium_bin2hex(text, sizeof text, digest, sizeof digest);
    return text;
}

} // namespace pennial
