#pragma once
// The backend addresses this build talks to: compiled in, each base address replaceable from the
// environment so that a local backend can stand in for development, demos and tests.

#include "app/coordinator_dependencies.hpp"
#include "platform/environment.hpp"

namespace pennial {

inline constexpr const char* apiBaseURLVariable = "PENNIAL_API_BASE_URL";
inline constexpr const char* supabaseURLVariable = "PENNIAL_SUPABASE_URL";

BackendEndpoints compiledInBackendEndpoints();
// The compiled-in endpoints with the addresses the environment sets (an empty value sets none).
BackendEndpoints backendEndpoints(const Environment& environment);

} // namespace pennial
