#pragma once
// The focus as the accessibility thread last worked it out (the element focus was reported on,
// its application and process), for callers on other threads: the two focus reads made on every
// poll, and the focused element's role and subrole, then need no trip to that thread. A focus
// report, an application found gone, or a second's age makes it stale; the next read then takes the
// trip and publishes it anew. Any thread.

#include "platform/accessibility.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace pennial {

class AtspiFocusSnapshot {
public:
    static constexpr std::chrono::seconds maxAge{1};

    // The focused element's role and subrole, as its role reads answer them.
    struct Roles {
        std::string role;
        std::optional<std::string> subrole;
        bool operator==(const Roles&) const = default;
    };

    struct Focus {
        AXElement element; // none while no focus is known
        AXElement application;
        std::optional<Pid> pid;
        std::chrono::steady_clock::time_point focusedAt;
        std::optional<Roles> roles; // none when they could not be read
        // The element has neither text nor a value: reading it fails alike until focus moves.
        bool textless = false;
        bool operator==(const Focus&) const = default;
    };

    // None when stale. Shared and never changed once published: asked for several times on every
    // poll, it costs no copy.
    std::shared_ptr<const Focus> current() const;
    // The current focus, and when it goes stale.
    struct Held {
        std::shared_ptr<const Focus> focus;
        std::chrono::steady_clock::time_point until;
    };
    std::optional<Held> held() const;
    // Counts the invalidations: a focus worked out while one came in is already stale.
    std::uint64_t generation() const;
    // Publishes the focus worked out from what was known at that generation, unless it has passed.
    // The same focus again only renews it: no change is counted.
    void publish(Focus focus, std::uint64_t basedOn);
    void invalidate();

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const Focus> focus_;
    std::uint64_t generation_ = 0;
    std::chrono::steady_clock::time_point publishedAt_;
};

} // namespace pennial
