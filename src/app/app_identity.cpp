#include "app/app_identity.hpp"

namespace pennial {

std::string_view applicationVersion() {
    return PENNIAL_VERSION;
}

std::string applicationReleaseName() {
    return std::string(crashReleaseIdentifier) + "@" + std::string(applicationVersion());
}

} // namespace pennial
