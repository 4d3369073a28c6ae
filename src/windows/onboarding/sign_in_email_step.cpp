#include "windows/onboarding/sign_in_email_step.hpp"

#include "ui/design/pn_brand_button_style.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/sign_in_flow.hpp"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

QString localized(const char* text) {
    return QCoreApplication::translate("SignInScreen", text);
}

} // namespace

SignInEmailStep::SignInEmailStep(OnboardingModel& model, SignInFlow& flow, QWidget* parent)
    : QWidget(parent), model_(model), flow_(flow) {
    setObjectName(QStringLiteral("SignInEmailStep"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(static_cast<int>(PNSpacing::lg));

    auto* header = new QWidget(this);
    auto* texts = new QVBoxLayout(header);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(static_cast<int>(PNSpacing::sm));
    // The wording is fixed for the life of the step: the screen builds a new one for a returning
    // user.
    const bool returning = model_.isReturningUser;
    title_ = new OnboardingText(returning ? localized("Sign back in") : localized("Make it yours"),
                                PNTypography::headingBrand(), header);
    title_->setGradientFill(true);
    texts->addWidget(title_);
    subtitle_ =
        new OnboardingText(returning ? localized("Enter your email to sign back in.")
                                     : localized("Sign up to keep your snippets safe and syncing."),
                           PNTypography::bodyBrand(), header);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    texts->addWidget(subtitle_);
    column->addWidget(header);

    emailField_ = new PNFormField(
        localized("Email"), QStringLiteral("alex.morgan@gmail.com..."), PNTypography::body(), false,
        std::nullopt, [this] { flow_.sendCode(); }, this);
    connect(emailField_, &PNFormField::textEdited, this,
            [this](const QString& text) { model_.setSignInEmail(text.toStdString()); });
    column->addWidget(emailField_);

    errorText_ = new PNErrorText(std::nullopt, this);
    column->addWidget(errorText_);

    auto* sendRow = new QVBoxLayout();
    sendRow->setContentsMargins(0, static_cast<int>(PNSpacing::xs), 0, 0);
    sendButton_ = new QPushButton(this);
    sendButton_->setObjectName(QStringLiteral("SendButton"));
    PNBrandButtonStyle::apply(sendButton_);
    sendButton_->setCursor(Qt::PointingHandCursor);
    connect(sendButton_, &QPushButton::clicked, this, [this] { flow_.sendCode(); });
    sendRow->addWidget(sendButton_, 0, Qt::AlignLeft);
    column->addLayout(sendRow);

    refresh();
}

void SignInEmailStep::refresh() {
    const QString email = QString::fromStdString(model_.signInEmail());
    if (emailField_->text() != email)
        emailField_->setText(email);
    emailField_->setFieldDisabled(model_.isSignInLoading());

    const auto& error = model_.signInError();
    errorText_->setMessage(error ? std::optional(QString::fromStdString(*error)) : std::nullopt);

    sendButton_->setText(model_.isSignInLoading() ? localized("Sending...") : localized("Send"));
    sendButton_->setEnabled(flow_.canSend());
}

} // namespace pennial
