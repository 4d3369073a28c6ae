#pragma once
// Secrets in the desktop's Secret Service (gnome-keyring, KWallet) through libsecret. Each call is
// made asynchronously on a GLib main context of the store's own and abandoned after a time-out:
// a locked keyring waits for a password prompt that may never be answered, and must not hang the
// caller.

#include "platform/secret_store.hpp"

#include <chrono>
#include <memory>

namespace pennial {

class LibsecretStore : public SecretStore {
public:
    // A call that takes longer than timeout answers SecretStatus::interactionNotAllowed.
    explicit LibsecretStore(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    SecretReadResult read(const std::string& service, const std::string& account) override;
    SecretResult write(const std::string& service, const std::string& account,
                       const std::string& data) override;
    SecretResult remove(const std::string& service, const std::string& account) override;

private:
    struct Call;
    SecretReadResult run(std::shared_ptr<Call> call);

    std::chrono::milliseconds timeout_;
};

} // namespace pennial
