#pragma once
// Checking the code typed into the panel through the core's callback, and the one line the panel
// shows for a failure.

#include "base/runtime.hpp"

#include <exception>
#include <memory>
#include <string>

namespace pennial {

class NotchPasscodeModel;

// Starts a verification of the model's code when it has six or more characters (outer white space
// trimmed) and a verify callback is set: the model shows progress until the result is in, then
// calls onSignInComplete or shows the failure. Runs the callback on executor, the main thread's.
// The model may go away meanwhile; the result is then dropped.
void verifyPasscode(const Executor& executor, const std::shared_ptr<NotchPasscodeModel>& model);

// The words for a failed verification: no connection, the server's own message on a rejected code,
// or a general line for anything else.
std::string verificationErrorMessage(std::exception_ptr error);

} // namespace pennial
