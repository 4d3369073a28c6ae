// The session kept in the secret store: decoded or refused, never an exception of another kind,
// and never a date the clock cannot hold.
#include "base/json.hpp"
#include "fuzz_support.hpp"
#include "services/auth_session.hpp"

using namespace pennial;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    AuthSession session;
    try {
        session = AuthSession::fromJson(fuzz::text(data, size));
    } catch (const JsonShapeError&) {
        return 0;
    }
    auto reread = AuthSession::fromJson(session.toJson());
    fuzz::check(reread.accessToken == session.accessToken &&
                    reread.refreshToken == session.refreshToken &&
                    reread.userEmail == session.userEmail,
                "a stored session reads back");
    return 0;
}
