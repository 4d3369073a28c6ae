#include "app/sign_in_result.hpp"

#include "platform/secret_store.hpp"

namespace pennial {

std::string keyringSignInMessage(std::int32_t keychainStatus) {
    switch (keychainStatus) {
    case SecretStatus::interactionNotAllowed:
        return "Your keyring is locked, so Pennial cannot keep you signed in. Unlock it, then try "
               "the same code again.";
    case SecretStatus::userCanceled:
        return "The keyring stayed locked, so Pennial cannot keep you signed in. Unlock it, then "
               "try the same code again.";
    case SecretStatus::notAvailable:
        return "No keyring is running, so Pennial cannot keep you signed in. Start one (such as "
               "GNOME Keyring), then try the same code again.";
    default:
        return "Your keyring refused to keep your sign-in. Check that it is unlocked, then try "
               "the same code again.";
    }
}

std::string keyringSessionReadMessage(std::int32_t keychainStatus) {
    switch (keychainStatus) {
    case SecretStatus::interactionNotAllowed:
        // Asked again until it answers: unlocking it is enough.
        return "Your keyring is locked, so Pennial cannot read your sign-in from it. Unlock it to "
               "be signed back in, or sign in again.";
    case SecretStatus::userCanceled:
        return "The keyring stayed locked, so Pennial could not read your sign-in. Unlock it, "
               "then sign in again.";
    case SecretStatus::notAvailable:
        return "No keyring is running, so Pennial cannot read your sign-in. Start one (such as "
               "GNOME Keyring), then sign in again.";
    default:
        return "Your keyring refused to give Pennial your sign-in. Check that it is unlocked, "
               "then sign in again.";
    }
}

} // namespace pennial
