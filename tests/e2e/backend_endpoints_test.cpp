#include "composition/backend_endpoints.hpp"
#include "platform/sim/sim_environment.hpp"

#include <gtest/gtest.h>

using namespace pennial;

TEST(BackendEndpoints, CompiledInUnlessTheEnvironmentSetsThem) {
    const auto compiledIn = compiledInBackendEndpoints();
    SimEnvironment environment;
    EXPECT_EQ(backendEndpoints(environment).productApiBaseURL, compiledIn.productApiBaseURL);
    EXPECT_EQ(backendEndpoints(environment).supabaseURL, compiledIn.supabaseURL);

    environment.set(apiBaseURLVariable, "http://127.0.0.1:8080");
    environment.set(supabaseURLVariable, "");
    auto endpoints = backendEndpoints(environment);
    EXPECT_EQ(endpoints.productApiBaseURL, "http://127.0.0.1:8080");
    EXPECT_EQ(endpoints.supabaseURL, compiledIn.supabaseURL);
    EXPECT_EQ(endpoints.supabaseAnonKey, compiledIn.supabaseAnonKey);

    environment.set(supabaseURLVariable, "http://127.0.0.1:8081");
    environment.set(publishableKeyVariable, "local-key");
    endpoints = backendEndpoints(environment);
    EXPECT_EQ(endpoints.supabaseURL, "http://127.0.0.1:8081");
    EXPECT_EQ(endpoints.supabaseAnonKey, "local-key");
}
