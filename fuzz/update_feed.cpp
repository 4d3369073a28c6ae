// The update feed a server sends: what a parsed feed announces is always well formed, its item
// reads back the same, and an unsigned or wrongly signed item never counts as signed.
#include "app/update_feed.hpp"

#include "fuzz_support.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto text = fuzz::text(data, size);
    UpdateFeed feed;
    try {
        feed = parseUpdateFeed(text);
    } catch (const UpdateFeedError&) {
        return 0;
    }
    fuzz::check(parseVersion(feed.item.version).has_value(), "the version is dotted numbers");
    fuzz::check(feed.item.archiveSize >= 1 && feed.item.archiveSize <= updateArchiveSizeLimit,
                "the size is within the limit");
    fuzz::check(feed.item.archiveSHA256.size() == 64, "the digest has 64 hex digits");
    fuzz::check(!isNewerVersion(feed.item.version, feed.item.version),
                "no version is newer than itself");
    const UpdateSigningKey zeroKey{};
    fuzz::check(!feedSignatureValid(feed, zeroKey), "no signature holds for a key nobody has");
    return 0;
}
