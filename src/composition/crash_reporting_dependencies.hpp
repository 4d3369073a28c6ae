#pragma once
// Crash reporting as this build runs it: reports kept as files under the state folder, their
// strings scrubbed of what the program knows to be secret; with a data source name, the files are
// also sent to the crash-reporting service and removed once it has them.

#include "app/coordinator_dependencies.hpp"

#include <string>

namespace pennial {

// Sets dependencies.crashReporter; with a data source name, also wraps the HTTP clients and the
// secret store so that the scrubber learns the secrets that pass through them.
void addCrashReporting(CoordinatorDependencies& dependencies, const std::string& dsn);

} // namespace pennial
