#pragma once
// Keeps what the program knows to be secret (tokens, one-time codes, e-mail addresses, the text of
// fields) and takes it out of anything a crash report carries. Besides the values it has been told,
// it filters what looks secret whoever it belongs to: e-mail addresses, signed tokens and six-digit
// codes. Safe to use from any thread.

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pennial {

class SecretScrubber {
public:
    static constexpr std::string_view filtered = "[Filtered]";
    // The most recent values are kept, within both limits; a report is scrubbed when it is
    // written and again before it is sent.
    static constexpr std::size_t maxSecrets = 256;
    static constexpr std::size_t maxSecretBytes = 4 * 1024 * 1024;
    // Of a longer value only its beginning is kept: longer than any text the program sends.
    static constexpr std::size_t maxSecretLength = 256 * 1024;
    // Shorter values would take ordinary words out of every report.
    static constexpr std::size_t minSecretLength = 4;

    void remember(std::string_view secret);
    // The strings of a JSON document found under the members that hold secrets (tokens, codes,
    // e-mail addresses, field text, profile), at any depth.
    void rememberSecretsIn(std::string_view jsonText);

    std::string scrub(std::string_view text) const;
    // For the way out of a dying process: none, rather than a wait, when another scrub holds the
    // secrets (it may be this very thread's, cut short by the failure).
    std::optional<std::string> tryScrub(std::string_view text) const;

private:
    void keep(std::string_view secret); // with the lock held
    std::string scrubLocked(std::string_view text, std::unique_lock<std::mutex>& lock) const;

    mutable std::mutex mutex_;
    std::deque<std::string> secrets_; // oldest first
    std::size_t bytes_ = 0;
};

} // namespace pennial
