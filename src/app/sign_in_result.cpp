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

} // namespace pennial
