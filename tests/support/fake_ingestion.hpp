#pragma once
// The crash-reporting service's ingestion endpoint on the fake backend: POST
// /api/<project>/envelope/, answered 200 with the event's id when the envelope is well formed and
// carries the auth header, 400 otherwise.

#include "support/fake_backend.hpp"

#include <string_view>
#include <vector>

namespace pennial::testing {

bool isCrashEnvelopePath(std::string_view method, std::string_view path);
FakeAnswer crashEnvelopeAnswer(const RecordedRequest& request);

// An envelope's three documents (envelope header, item header, event); throws JsonShapeError
// when the body is not such an envelope, its item length included.
std::vector<Json> parseCrashEnvelope(std::string_view body);

} // namespace pennial::testing
