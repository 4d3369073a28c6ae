#include "windows/onboarding/sign_in_code_step.hpp"

#include "ui/design/pn_brand_button_style.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/sign_in_flow.hpp"
#include "windows/onboarding/sign_in_link_button.hpp"
#include "windows/onboarding/sign_in_messages.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

QString localized(const char* text) {
    return QCoreApplication::translate("SignInScreen", text);
}

QLabel* dimmedLabel(const QFont& font, qreal opacity, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, PNColor::withOpacity(Qt::white, opacity));
    label->setPalette(palette);
    return label;
}

QHBoxLayout* row(int topMargin) {
    auto* layout = new QHBoxLayout();
    layout->setContentsMargins(0, topMargin, 0, 0);
    layout->setSpacing(static_cast<int>(PNSpacing::lg));
    return layout;
}

} // namespace

SignInCodeStep::SignInCodeStep(OnboardingModel& model, SignInFlow& flow,
                               std::function<void(const std::string& url)> openURL, QWidget* parent)
    : QWidget(parent), model_(model), flow_(flow), openURL_(std::move(openURL)) {
    setObjectName(QStringLiteral("SignInCodeStep"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(static_cast<int>(PNSpacing::lg));

    auto* header = new QWidget(this);
    auto* texts = new QVBoxLayout(header);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(static_cast<int>(PNSpacing::sm));
    title_ = new OnboardingText(localized("Sign in"), PNTypography::headingBrand(), header);
    title_->setGradientFill(true);
    texts->addWidget(title_);
    subtitle_ = dimmedLabel(PNTypography::bodyBrand(), 0.5, header);
    subtitle_->setTextFormat(Qt::RichText);
    subtitle_->setWordWrap(true);
    texts->addWidget(subtitle_);
    column->addWidget(header);

    // Typing the sixth digit verifies at once.
    codeField_ = new PNOTPField(
        false, [this] { flow_.verifyCode(); }, std::nullopt, this);
    connect(codeField_, &PNOTPField::codeEdited, this,
            [this](const QString& code) { model_.setSignInCode(code.toStdString()); });
    column->addWidget(codeField_, 0, Qt::AlignLeft);

    errorText_ = new PNErrorText(std::nullopt, this);
    column->addWidget(errorText_);

    auto* verifyRow = row(static_cast<int>(PNSpacing::xs));
    verifyButton_ = new QPushButton(this);
    verifyButton_->setObjectName(QStringLiteral("VerifyButton"));
    PNBrandButtonStyle::apply(verifyButton_);
    verifyButton_->setCursor(Qt::PointingHandCursor);
    connect(verifyButton_, &QPushButton::clicked, this, [this] { flow_.verifyCode(); });
    verifyRow->addWidget(verifyButton_, 0, Qt::AlignVCenter);
    openEmailButton_ = new SignInLinkButton(QString(), PNColor::brand(), true, this);
    openEmailButton_->setObjectName(QStringLiteral("OpenEmailButton"));
    connect(openEmailButton_, &SignInLinkButton::clicked, this, [this] { openEmail(); });
    verifyRow->addWidget(openEmailButton_, 0, Qt::AlignVCenter);
    verifyRow->addStretch(1);
    column->addLayout(verifyRow);

    auto* resendRow = row(0);
    resendButton_ = new SignInLinkButton(localized("Resend code"), PNColor::brand(), false, this);
    resendButton_->setObjectName(QStringLiteral("ResendButton"));
    connect(resendButton_, &SignInLinkButton::clicked, this, [this] { flow_.sendCode(); });
    resendRow->addWidget(resendButton_, 0, Qt::AlignVCenter);
    resendCountdown_ = dimmedLabel(PNTypography::caption(), 0.4, this);
    resendRow->addWidget(resendCountdown_, 0, Qt::AlignVCenter);
    differentEmailButton_ =
        new SignInLinkButton(localized("Use a different email"), PNColor::brand(), false, this);
    differentEmailButton_->setObjectName(QStringLiteral("DifferentEmailButton"));
    connect(differentEmailButton_, &SignInLinkButton::clicked, this,
            [this] { flow_.useDifferentEmail(); });
    resendRow->addWidget(differentEmailButton_, 0, Qt::AlignVCenter);
    resendRow->addStretch(1);
    column->addLayout(resendRow);

    refresh();
}

void SignInCodeStep::refresh() {
    const bool loading = model_.isSignInLoading();
    const QString email = QString::fromStdString(model_.signInEmail());
    // The address as typed, blanks kept, in bold.
    subtitle_->setText(localized("We sent a 6-digit code to %1")
                           .arg(QStringLiteral("<b style=\"white-space: pre-wrap\">%1</b>")
                                    .arg(email.toHtmlEscaped())));

    const QString code = QString::fromStdString(model_.signInCode());
    if (codeField_->code() != code)
        codeField_->setCode(code);
    // Once verified the step takes no further input.
    const bool verified = model_.isSignInVerified();
    codeField_->setFieldDisabled(loading || verified);

    const auto& error = model_.signInError();
    errorText_->setMessage(error ? std::optional(QString::fromStdString(*error)) : std::nullopt);

    // One flag for both requests: a resend also reads "Verifying...".
    verifyButton_->setText(loading ? localized("Verifying...") : localized("Verify"));
    verifyButton_->setEnabled(flow_.canVerify());
    const EmailProviderInfo provider = emailProviderInfo(model_.signInEmail());
    openEmailButton_->setText(
        localized("Click here to %1").arg(QString::fromStdString(provider.label)));
    openEmailButton_->updateGeometry();

    const int cooldown = model_.resendCooldown();
    resendButton_->setVisible(cooldown < 1);
    resendButton_->setEnabled(!loading && !verified);
    differentEmailButton_->setEnabled(!verified);
    resendCountdown_->setVisible(cooldown >= 1);
    resendCountdown_->setText(localized("Resend in %1s").arg(cooldown));
}

void SignInCodeStep::openEmail() {
    if (openURL_)
        openURL_(emailProviderInfo(model_.signInEmail()).url);
}

} // namespace pennial
