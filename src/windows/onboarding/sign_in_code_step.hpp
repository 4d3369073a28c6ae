#pragma once
// The second half of the sign-in screen: the six-digit field, the error line, "Verify" with the
// webmail shortcut, and the resend and change-address links.

#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QPushButton;

namespace pennial {

class OnboardingModel;
class OnboardingText;
class PNErrorText;
class PNOTPField;
class SignInFlow;
class SignInLinkButton;

class SignInCodeStep : public QWidget {
public:
    // openURL hands an address to the desktop (the webmail shortcut).
    SignInCodeStep(OnboardingModel& model, SignInFlow& flow,
                   std::function<void(const std::string& url)> openURL, QWidget* parent = nullptr);

    // Shows what the model holds now.
    void refresh();

    OnboardingText* title() const { return title_; }
    QLabel* subtitle() const { return subtitle_; }
    PNOTPField* codeField() const { return codeField_; }
    PNErrorText* errorText() const { return errorText_; }
    QPushButton* verifyButton() const { return verifyButton_; }
    SignInLinkButton* openEmailButton() const { return openEmailButton_; }
    // Offered once the countdown has run out; the countdown's line stands in its place until then.
    SignInLinkButton* resendButton() const { return resendButton_; }
    QLabel* resendCountdown() const { return resendCountdown_; }
    SignInLinkButton* differentEmailButton() const { return differentEmailButton_; }

private:
    void openEmail();

    OnboardingModel& model_;
    SignInFlow& flow_;
    std::function<void(const std::string& url)> openURL_;
    OnboardingText* title_;
    QLabel* subtitle_;
    PNOTPField* codeField_;
    PNErrorText* errorText_;
    QPushButton* verifyButton_;
    SignInLinkButton* openEmailButton_;
    SignInLinkButton* resendButton_;
    QLabel* resendCountdown_;
    SignInLinkButton* differentEmailButton_;
};

} // namespace pennial
