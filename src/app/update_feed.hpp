#pragma once
// The signed update feed of an installation made from a download: one JSON object naming the
// newest version, its release notes, and its archive's address, size and Ed25519 signature.
//   {"version": "0.6.0", "notes": "...", "url": "https://.../pennial-0.6.0.tar.gz",
//    "size": 1234567, "signature": "<base64 of the 64-byte signature of the archive>"}

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace pennial {

struct UpdateFeedItem {
    std::string version;
    std::string releaseNotes;
    std::string archiveURL;
    std::size_t archiveSize = 0;
    std::string signature; // base64
};

class UpdateFeedError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using UpdateSigningKey = std::array<unsigned char, 32>;

// Throws UpdateFeedError when the text is not a feed of this shape.
UpdateFeedItem parseUpdateFeed(std::string_view text);

// Dotted numeric versions ("0.5.35"); a missing part counts as 0, anything after a part's digits
// ("1-rc") is ignored. False for equal versions.
bool isNewerVersion(std::string_view candidate, std::string_view current);

// The key as base64 of its 32 bytes; throws UpdateFeedError for anything else.
UpdateSigningKey decodeSigningKey(std::string_view base64);
// True only for a well-formed signature, by that key, of exactly these bytes.
bool archiveSignatureValid(std::string_view archive, std::string_view signatureBase64,
                           const UpdateSigningKey& key);

} // namespace pennial
