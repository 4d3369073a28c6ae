#pragma once
// Shortcuts synthesised through the desktop's RemoteDesktop portal (GNOME, KDE): the way keys reach
// native Wayland applications when no virtual keyboard can be made. The desktop is asked once for
// its keyboard (a dialog on some desktops); a restore token kept in the keyring spares the user the
// dialog next time where the portal offers one. Everything runs on a thread of the synthesiser's
// own, each call and answer with a time-out: nothing here waits on the desktop from the caller.

#include "platform/keyboard.hpp"
#include "platform/secret_store.hpp"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace pennial {

struct PortalTimeouts {
    std::chrono::milliseconds call{5000};      // a method call's reply
    std::chrono::milliseconds answer{10000};   // a request's answer that needs no user
    std::chrono::milliseconds consent{120000}; // the answer to Start, which may wait on a dialog
};

class PortalKeyboardSynthesizer : public KeyboardSynthesizer {
public:
    enum class State { idle, asking, granted, refused, closed, unavailable };

    struct Options {
        std::string busAddress;               // empty: the session bus
        std::shared_ptr<SecretStore> secrets; // keeps the restore token; none: not kept
        PortalTimeouts timeouts;
    };

    explicit PortalKeyboardSynthesizer(Options options);
    ~PortalKeyboardSynthesizer() override;
    PortalKeyboardSynthesizer(const PortalKeyboardSynthesizer&) = delete;
    PortalKeyboardSynthesizer& operator=(const PortalKeyboardSynthesizer&) = delete;

    // Asks for the keyboard unless it is held or being asked for.
    void prepare() override;
    bool ready() const override { return state() == State::granted; }
    void post(Shortcut shortcut) override;

    State state() const;
    // One key by its keysym, pressed or released, where the user's layout has it; dropped unless
    // the keyboard is granted.
    void key(std::uint32_t keysym, bool pressed);

private:
    struct Session;
    std::shared_ptr<Session> session_;
};

} // namespace pennial
