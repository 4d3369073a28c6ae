#include "windows/about/about_content.hpp"

#include "windows/about/about_view.hpp"

namespace pennial {

std::function<std::unique_ptr<QWidget>(AppCoordinator&)>
aboutContentBuilder(std::shared_ptr<Workspace> workspace) {
    return [workspace = std::move(workspace)](AppCoordinator&) -> std::unique_ptr<QWidget> {
        return std::make_unique<AboutView>(workspace);
    };
}

} // namespace pennial
