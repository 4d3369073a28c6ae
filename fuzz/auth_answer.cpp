// The auth service's answers: the token answer of verification and refresh, and the message made
// from a failed call's body, which never quotes a body that is not the error shape.
#include "base/json.hpp"
#include "base/unicode.hpp"
#include "fuzz_support.hpp"
#include "services/supabase_auth_response.hpp"

#include <chrono>

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto body = fuzz::text(data, size);
    try {
        auto response = SupabaseAuthResponse::fromJson(body);
        auto now = std::chrono::system_clock::now();
        auto session = response.session(now);
        AuthSession::fromJson(session.toJson());
    } catch (const JsonShapeError&) {
    }

    auto message = authErrorMessage(502, std::string(body));
    fuzz::check(unicode::sanitizeUtf8(message) == message, "the message is valid UTF-8");
    fuzz::check(unicode::graphemeCount(message) <= 200, "the message is capped");
    fuzz::check(message.find('\n') == std::string::npos, "the message is one line");
    if (!SupabaseErrorResponse::fromJson(body))
        fuzz::check(message.empty() || message == "The server answered with status 502",
                    "a body that is not the error shape is never quoted");
    return 0;
}
