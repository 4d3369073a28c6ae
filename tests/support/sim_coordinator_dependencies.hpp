#pragma once
// The coordinator's dependencies on the simulated desktop, with a recording fake for every window
// and panel and the scripted text monitor: what a test of one window needs of a real coordinator.
// The test replaces what it exercises for real (the card windows, the focus rules, a store).

#include "app/coordinator_dependencies.hpp"
#include "platform/sim/sim_desktop.hpp"

#include <filesystem>

namespace pennial::testing {

CoordinatorDependencies simCoordinatorDependencies(SimDesktop& desktop, Executor main,
                                                   std::filesystem::path configFile);

} // namespace pennial::testing
