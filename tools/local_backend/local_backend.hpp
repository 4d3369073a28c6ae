#pragma once
// The local backend that `scripts/run --local` starts: the fake backend with answers a person can
// use: each requested sign-in code is new and printed to the terminal (this process's log), and
// every command answers with a plain, deterministic rule that says it came from here and not from
// the product's AI.

#include "support/fake_backend.hpp"

#include <string>

namespace pennial::local_backend {

// What the local backend answers a transform: the text under a simple rule for the default
// rewrite commands ("fix", "short"; any other command keeps the text), each tag of a template
// filled in, and a marker that names this backend.
std::string localTransform(const std::string& command, const std::string& text,
                           const std::string& content, const std::string& mode);

// Replaces the sign-in code request and the transform answers of the backend.
void installLocalAnswers(testing::FakeBackend& backend);

} // namespace pennial::local_backend
