#pragma once
// The first half of the sign-in screen: the address, the error line and "Send".

#include <QWidget>

class QPushButton;

namespace pennial {

class OnboardingModel;
class OnboardingText;
class PNErrorText;
class PNFormField;
class SignInFlow;

class SignInEmailStep : public QWidget {
public:
    // The wording follows the model's isReturningUser as it is now.
    SignInEmailStep(OnboardingModel& model, SignInFlow& flow, QWidget* parent = nullptr);

    // Shows what the model holds now.
    void refresh();

    OnboardingText* title() const { return title_; }
    OnboardingText* subtitle() const { return subtitle_; }
    PNFormField* emailField() const { return emailField_; }
    PNErrorText* errorText() const { return errorText_; }
    QPushButton* sendButton() const { return sendButton_; }

private:
    OnboardingModel& model_;
    SignInFlow& flow_;
    OnboardingText* title_;
    OnboardingText* subtitle_;
    PNFormField* emailField_;
    PNErrorText* errorText_;
    QPushButton* sendButton_;
};

} // namespace pennial
