#include "code_panel_harness.hpp"
#include "services/auth_error.hpp"
#include "ui/code_panel/notch_passcode_model.hpp"
#include "ui/code_panel/passcode_verification.hpp"

#include <asio/error.hpp>
#include <gtest/gtest.h>
#include <system_error>

namespace pennial {
namespace {

std::string messageFor(const auto& error) {
    return verificationErrorMessage(std::make_exception_ptr(error));
}

TEST(VerificationErrorMessage, SaysWhatWentWrongInTheUsersWords) {
    EXPECT_EQ(messageFor(AuthError::networkError("timed out")), "Unable to connect.");
    EXPECT_EQ(messageFor(AuthError::verificationFailed(403, "Token has expired or is invalid")),
              "Token has expired or is invalid");
    EXPECT_EQ(messageFor(AuthError::verificationFailed(400, "")),
              "Invalid code. Please try again.");
    EXPECT_EQ(messageFor(AuthError::otpRequestFailed(429, "Too many requests")),
              "Something went wrong.");
    EXPECT_EQ(messageFor(AuthError::noSession()), "Something went wrong.");
    EXPECT_EQ(messageFor(std::runtime_error("HTTP 500")), "Something went wrong.");
    EXPECT_EQ(verificationErrorMessage(nullptr), "Something went wrong.");
}

class VerifyPasscodeTest : public ::testing::Test {
protected:
    VerifyPasscodeTest() {
        model->setEmail("ada@example.com");
        model->onVerify = verifier.handler();
        model->onSignInComplete = [this] { ++completions; };
    }

    void verify(const std::string& code, SignInResult answer) {
        verifier.answer = std::move(answer);
        model->setCode(code);
        verifyPasscode(loop.executor(), model);
        loop.runUntil([&] { return !model->isVerifying(); });
    }

    testing::MainLoop loop;
    testing::ScriptedVerifier verifier;
    std::shared_ptr<NotchPasscodeModel> model = std::make_shared<NotchPasscodeModel>();
    int completions = 0;
};

TEST_F(VerifyPasscodeTest, SendsTheTrimmedCodeOnceItHasSixCharacters) {
    verify(" 12345\n", SignInResult::success());
    EXPECT_TRUE(verifier.calls.empty());
    verify("\t123456 \n", SignInResult::success());
    verify("1234567", SignInResult::success());
    verify("١٢٣٤٥٦", SignInResult::success()); // characters are counted, not bytes
    using Call = std::pair<std::string, std::string>;
    EXPECT_EQ(verifier.calls, (std::vector<Call>{{"ada@example.com", "123456"},
                                                 {"ada@example.com", "1234567"},
                                                 {"ada@example.com", "١٢٣٤٥٦"}}));
    EXPECT_EQ(completions, 3);

    model->onVerify = nullptr;
    verify("123456", SignInResult::success());
    EXPECT_EQ(completions, 3);
}

TEST_F(VerifyPasscodeTest, FailuresBecomeTheErrorLineExceptAStop) {
    verify("123456",
           SignInResult::failure(std::make_exception_ptr(AuthError::verificationFailed(400, ""))));
    EXPECT_EQ(model->error(), "Invalid code. Please try again.");

    // A callback that throws instead of answering a failure fails all the same.
    model->onVerify = [](std::string, std::string) -> Awaitable<SignInResult> {
        throw AuthError::networkError("offline");
        co_return SignInResult::success();
    };
    verify("123456", SignInResult::success());
    EXPECT_EQ(model->error(), "Unable to connect.");

    model->onVerify = verifier.handler();
    verify("123456", SignInResult::failure(std::make_exception_ptr(
                         std::system_error(asio::error::operation_aborted))));
    EXPECT_FALSE(model->isVerifying());
    EXPECT_FALSE(model->error());
    EXPECT_EQ(completions, 0);
}

} // namespace
} // namespace pennial
