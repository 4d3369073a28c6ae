#include "platform/linux/package_manager_updater.hpp"

#include "base/log.hpp"

namespace pennial {

PackageManagerUpdater::PackageManagerUpdater(NoticePresenter present)
    : present_(std::move(present)) {}

void PackageManagerUpdater::checkForUpdates() {
    if (present_)
        present_(notice);
    else
        logf("🔵 [UpdateService] {}", notice);
}

} // namespace pennial
