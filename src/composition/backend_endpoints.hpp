#pragma once
// The backend addresses this build talks to: compiled in, each base address (and the hosted
// project's publishable key, which a local backend needs too) replaceable from the environment so
// that a local backend can stand in for development, demos and tests.

#include "app/coordinator_dependencies.hpp"
#include "platform/environment.hpp"

namespace pennial {

inline constexpr const char* apiBaseURLVariable = "PENNIAL_API_BASE_URL";
inline constexpr const char* supabaseURLVariable = "PENNIAL_SUPABASE_URL";
inline constexpr const char* publishableKeyVariable = "PENNIAL_SUPABASE_PUBLISHABLE_KEY";

BackendEndpoints compiledInBackendEndpoints();
// The compiled-in endpoints with what the environment sets (an empty value sets nothing).
BackendEndpoints backendEndpoints(const Environment& environment);

} // namespace pennial
