#pragma once
// Keeps what the program knows to be secret (tokens, one-time codes, e-mail addresses, the text of
// fields) and takes it out of anything a crash report carries. Besides the values it has been told,
// it filters what looks secret whoever it belongs to: e-mail addresses, signed tokens and six-digit
// codes. Servers and libraries quote what they were sent in their own ways, so a secret is also
// found percent-encoded, JSON-escaped (\u escapes included), one line of it alone, and cut short
// before an ellipsis or the end of the text. Safe to use from any thread.

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
    // A line of a longer text is a secret of its own from this length on ("Thanks," is not).
    static constexpr std::size_t minLineLength = 8;
    static constexpr std::size_t maxLinesPerSecret = 256;
    // The shortest beginning of a secret that is taken out where a text was cut short.
    static constexpr std::size_t minCutLength = 12;

    SecretScrubber();
    ~SecretScrubber();
    SecretScrubber(const SecretScrubber&) = delete;
    SecretScrubber& operator=(const SecretScrubber&) = delete;

    void remember(std::string_view secret);
    // The strings of a JSON document found under the members that hold secrets (tokens, codes,
    // e-mail addresses, field text, profile), at any depth.
    void rememberSecretsIn(std::string_view jsonText);

    std::string scrub(std::string_view text) const;
    // For the way out of a dying process: none, rather than a wait, when another scrub holds the
    // secrets (it may be this very thread's, cut short by the failure).
    std::optional<std::string> tryScrub(std::string_view text) const;

    struct Index; // every known value and line, looked up by its first bytes

private:
    struct Secret {
        std::string text;
        std::vector<std::string> lines; // of a text with several lines
        std::size_t bytes() const;
    };

    void keep(std::string_view secret); // with the lock held
    std::string scrubLocked(std::string_view text, std::unique_lock<std::mutex>& lock) const;

    mutable std::mutex mutex_;
    std::deque<Secret> secrets_; // oldest first
    std::size_t bytes_ = 0;
    // Made again by the first scrub after the secrets changed.
    mutable std::unique_ptr<Index> index_;
    mutable bool indexStale_ = true;
};

} // namespace pennial
