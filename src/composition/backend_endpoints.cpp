#include "composition/backend_endpoints.hpp"

// The PENNIAL_* macros come from the CMake cache variables of the same names.

namespace pennial {

namespace {
void overrideFrom(const Environment& environment, const char* variable, std::string& setting) {
    if (auto value = environment.value(variable); value && !value->empty())
        setting = std::move(*value);
}
} // namespace

BackendEndpoints compiledInBackendEndpoints() {
    return {PENNIAL_API_BASE_URL, PENNIAL_SUPABASE_URL, PENNIAL_SUPABASE_PUBLISHABLE_KEY};
}

BackendEndpoints backendEndpoints(const Environment& environment) {
    auto endpoints = compiledInBackendEndpoints();
    overrideFrom(environment, apiBaseURLVariable, endpoints.productApiBaseURL);
    overrideFrom(environment, supabaseURLVariable, endpoints.supabaseURL);
    overrideFrom(environment, publishableKeyVariable, endpoints.supabaseAnonKey);
    return endpoints;
}

} // namespace pennial
