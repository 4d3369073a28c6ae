#pragma once
// The signed update feed of an installation made from a download. What it announces (the newest
// version, its release notes, and its archive's address, size and SHA-256 digest) is one JSON
// object carried as text, and the Ed25519 signature covers exactly that text: no announced version
// can be paired with another archive than the one it was signed with.
//   {"item":
//   "{\"version\":\"0.6.0\",\"notes\":\"...\",\"url\":\"https://.../pennial-0.6.0.tar.gz\",
//              \"size\":1234567,\"sha256\":\"<64 hex digits>\"}",
//    "itemSignature": "<base64 of the signature of updateFeedSignatureContext + item>"}
// Any other member is ignored: a publisher may add what older versions read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pennial {

// Larger archives are refused before anything is downloaded: the program is one file.
inline constexpr std::uint64_t updateArchiveSizeLimit = 256ull * 1024 * 1024;

// Signed before the item's text, so that no signature made for anything else (an archive) can
// pass for a feed's.
inline constexpr std::string_view updateFeedSignatureContext = "pennial update feed item\n";

struct UpdateFeedItem {
    std::string version; // dotted numbers, see parseVersion
    std::string releaseNotes;
    std::string archiveURL;
    std::uint64_t archiveSize = 0;
    std::string archiveSHA256; // 64 lowercase hex digits
};

struct UpdateFeed {
    UpdateFeedItem item;
    std::string itemText;  // exactly the signed bytes
    std::string signature; // base64
};

class UpdateFeedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using UpdateSigningKey = std::array<unsigned char, 32>;
using UpdateSecretKey = std::array<unsigned char, 64>; // libsodium's form: seed and public key

// Throws UpdateFeedError when the text is not a feed of this shape, or announces a version that is
// not dotted numbers, or a size that is not a whole number from 1 to maxArchiveSize.
UpdateFeed parseUpdateFeed(std::string_view text,
                           std::uint64_t maxArchiveSize = updateArchiveSizeLimit);
// True only for a well-formed signature of the feed's item by that key.
bool feedSignatureValid(const UpdateFeed& feed, const UpdateSigningKey& key);

// For publishers: the feed announcing the item's text as given, signed with the secret key.
std::string writeSignedUpdateFeed(std::string_view itemText, const UpdateSecretKey& key);
std::string updateFeedItemText(const UpdateFeedItem& item);

// "1.2.3": one to four parts of one to nine digits each; none for anything else.
std::optional<std::vector<std::uint32_t>> parseVersion(std::string_view version);
// A missing part counts as 0; false for equal versions and when either is not a version.
bool isNewerVersion(std::string_view candidate, std::string_view current);

// The key as base64 of its 32 bytes; throws UpdateFeedError for anything else.
UpdateSigningKey decodeSigningKey(std::string_view base64);

// SHA-256 of bytes given in pieces.
class ArchiveDigest {
public:
    ArchiveDigest();
    ~ArchiveDigest();
    void update(std::string_view bytes);
    std::string hex(); // ends it
private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace pennial
