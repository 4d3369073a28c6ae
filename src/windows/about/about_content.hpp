#pragma once
// Builds the about card's content for the card windows; the links open through the workspace the
// core was built with.

#include <functional>
#include <memory>

class QWidget;

namespace pennial {

class AppCoordinator;
class Workspace;

std::function<std::unique_ptr<QWidget>(AppCoordinator&)>
aboutContentBuilder(std::shared_ptr<Workspace> workspace);

} // namespace pennial
