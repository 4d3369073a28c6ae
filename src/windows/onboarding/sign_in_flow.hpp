#pragma once
// What the sign-in screen does: ask for a code by e-mail, verify the typed code, count down to the
// next resend, and go back to the e-mail step. Everything it shows lives in the model; the network
// work is done by the model's sign-in callbacks. Main thread only.
//
// A request or verification runs in a task of its own that holds the model weakly: when the
// screen goes away meanwhile, the result still lands in the model, which outlives the screen.

#include "base/runtime.hpp"

#include <chrono>
#include <cstddef>

namespace pennial {

class OnboardingModel;

class SignInFlow {
public:
    static constexpr std::size_t codeLength = 6;
    static constexpr int resendCooldownSeconds = 60;

    // Tasks run on executor, the main thread's; the countdown falls by one every resendTick.
    SignInFlow(OnboardingModel& model, Executor executor,
               std::chrono::steady_clock::duration resendTick = std::chrono::seconds(1));

    // "Send": an address is typed (blanks count) and nothing runs.
    bool canSend() const;
    // "Verify" and "Continue": six characters are typed and nothing runs.
    bool canVerify() const;

    // Asks for a code for the typed address, trimmed; an address of blanks asks nothing.
    void sendCode();
    // Verifies the typed code (both trimmed) once it has six characters.
    void verifyCode();
    // Sets the resend countdown to 60 s and lets it fall to 0, replacing a countdown that runs.
    void startResendCooldown();
    // Back to the e-mail step; the address and a running countdown stay.
    void useDifferentEmail();

private:
    OnboardingModel& model_;
    Executor executor_;
    std::chrono::steady_clock::duration resendTick_;
};

} // namespace pennial
