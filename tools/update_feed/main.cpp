// Makes the update feed that installations made from a download read, signed with the release
// key, and makes that key.
//   pennial_update_feed keygen SECRET_KEY_FILE
//       writes a new secret key (base64, readable by its owner only) and prints its public key,
//       the value of the CMake cache variable PENNIAL_UPDATE_SIGNING_KEY
//   pennial_update_feed sign SECRET_KEY_FILE ARCHIVE VERSION URL [NOTES_FILE]
//       prints the feed announcing ARCHIVE (published at URL) as VERSION
// The feed also carries what versions before the signed item read (version, size and a signature
// of the archive alone), so that they can still update to one that reads the item; nothing newer
// reads those.

#include "app/update_feed.hpp"
#include "base/json.hpp"

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sodium.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

using namespace pennial;

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string base64(const unsigned char* bytes, std::size_t length) {
    std::string text(sodium_base64_ENCODED_LEN(length, sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes, length, sodium_base64_VARIANT_ORIGINAL);
    text.resize(text.size() - 1);
    return text;
}

UpdateSecretKey readSecretKey(const std::string& path) {
    auto text = readWhole(path);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    UpdateSecretKey key{};
    std::size_t length = 0;
    if (sodium_base642bin(key.data(), key.size(), text.data(), text.size(), nullptr, &length,
                          nullptr, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        length != key.size())
        throw std::runtime_error(path + " holds no update signing key");
    return key;
}

UpdateSigningKey publicKeyOf(const UpdateSecretKey& secret) {
    UpdateSigningKey key{};
    crypto_sign_ed25519_sk_to_pk(key.data(), secret.data());
    return key;
}

int keygen(const std::string& path) {
    UpdateSigningKey publicKey{};
    UpdateSecretKey secretKey{};
    crypto_sign_keypair(publicKey.data(), secretKey.data());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw std::runtime_error("cannot create " + path + " (it must not exist yet)");
    const auto text = base64(secretKey.data(), secretKey.size()) + "\n";
    const bool written = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (::close(fd) != 0 || !written)
        throw std::runtime_error("cannot write " + path);
    sodium_memzero(secretKey.data(), secretKey.size());
    std::printf("%s\n", base64(publicKey.data(), publicKey.size()).c_str());
    return 0;
}

int sign(const std::vector<std::string>& arguments) {
    const auto secretKey = readSecretKey(arguments[0]);
    const auto archive = readWhole(arguments[1]);
    UpdateFeedItem item;
    item.version = arguments[2];
    item.archiveURL = arguments[3];
    item.releaseNotes = arguments.size() > 4 ? readWhole(arguments[4]) : "";
    item.archiveSize = archive.size();
    ArchiveDigest digest;
    digest.update(archive);
    item.archiveSHA256 = digest.hex();

    auto feed = json::parse(writeSignedUpdateFeed(updateFeedItemText(item), secretKey));
    unsigned char archiveSignature[crypto_sign_BYTES];
    crypto_sign_detached(archiveSignature, nullptr,
                         reinterpret_cast<const unsigned char*>(archive.data()), archive.size(),
                         secretKey.data());
    feed["version"] = item.version;
    feed["notes"] = item.releaseNotes;
    feed["url"] = item.archiveURL;
    feed["size"] = item.archiveSize;
    feed["signature"] = base64(archiveSignature, sizeof archiveSignature);
    const auto text = json::dump(feed, 2);

    // What the program reads of it, as it reads it: nothing is published that it would refuse.
    if (!feedSignatureValid(parseUpdateFeed(text), publicKeyOf(secretKey)))
        throw std::runtime_error("the feed does not verify");
    std::printf("%s\n", text.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    try {
        if (sodium_init() < 0)
            throw std::runtime_error("libsodium cannot start");
        if (arguments.size() == 2 && arguments[0] == "keygen")
            return keygen(arguments[1]);
        if ((arguments.size() == 5 || arguments.size() == 6) && arguments[0] == "sign")
            return sign({arguments.begin() + 1, arguments.end()});
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pennial_update_feed: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s keygen SECRET_KEY_FILE\n"
                 "       %s sign SECRET_KEY_FILE ARCHIVE VERSION URL [NOTES_FILE]\n",
                 argv[0], argv[0]);
    return 2;
}
