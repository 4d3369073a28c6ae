#pragma once
// The operating system as crash reports describe it: the distribution (from os-release), the
// kernel and the machine's architecture. Nothing that names the machine or its user.

#include "platform/crash_reporter.hpp"

namespace pennial {

CrashOsContext thisMachinesOsContext();

} // namespace pennial
