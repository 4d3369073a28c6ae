#pragma once
// Small secrets kept by the desktop: generic-password items found by service and account. Every
// operation answers a status in the Keychain's numbering, so callers read the same codes on every
// platform, and with a failure the secret service's own name and words for it, which is what logs
// and people are shown.

#include <cstdint>
#include <optional>
#include <string>

namespace pennial {

struct SecretStatus {
    static constexpr std::int32_t success = 0;
    static constexpr std::int32_t userCanceled = -128;
    static constexpr std::int32_t internalComponent = -2070;
    static constexpr std::int32_t notAvailable = -25291;
    static constexpr std::int32_t authFailed = -25293;
    static constexpr std::int32_t duplicateItem = -25299;
    static constexpr std::int32_t itemNotFound = -25300;
    static constexpr std::int32_t interactionNotAllowed = -25308;
};

// What a status means, for log lines; none for a status this layer never answers.
inline std::optional<std::string> secretStatusMessage(std::int32_t status) {
    switch (status) {
    case SecretStatus::success:
        return "No error.";
    case SecretStatus::userCanceled:
        return "The user canceled the operation.";
    case SecretStatus::internalComponent:
        return "The secret service answered with an error.";
    case SecretStatus::notAvailable:
        return "No secret service is available.";
    case SecretStatus::authFailed:
        return "Access to the secret service was denied.";
    case SecretStatus::duplicateItem:
        return "An item with these attributes already exists.";
    case SecretStatus::itemNotFound:
        return "No matching item was found.";
    case SecretStatus::interactionNotAllowed:
        return "The keyring is locked or did not answer in time.";
    }
    return std::nullopt;
}

struct SecretReadResult {
    std::int32_t status = SecretStatus::success;
    std::string data; // the item's value when status is success
    // A failure as the secret service gave it ("org.freedesktop.Secret.Error.IsLocked: ..."); empty
    // where it gave none.
    std::string error;
};

struct SecretResult {
    std::int32_t status = SecretStatus::success;
    std::string error; // as in SecretReadResult
};

class SecretStore {
public:
    virtual ~SecretStore() = default;

    // itemNotFound when no item matches.
    virtual SecretReadResult read(const std::string& service, const std::string& account) = 0;
    // Creates the item, or replaces the value of the existing one in place: there is never a
    // moment without an item.
    virtual SecretResult write(const std::string& service, const std::string& account,
                               const std::string& data) = 0;
    // itemNotFound when no item matches.
    virtual SecretResult remove(const std::string& service, const std::string& account) = 0;
};

} // namespace pennial
