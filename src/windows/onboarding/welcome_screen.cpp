#include "windows/onboarding/welcome_screen.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"

#include <QCoreApplication>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal headerGap = 60; // the brand header sits within it
constexpr qreal subtitleLineSpacing = 2;

QString localized(const char* text) {
    return QCoreApplication::translate("WelcomeScreen", text);
}

} // namespace

WelcomeScreen::WelcomeScreen(OnboardingModel& model, QWidget* parent)
    : OnboardingScreenFrame(Alignment::centre, parent) {
    setObjectName(QStringLiteral("WelcomeScreen"));
    addFixedGap(headerGap);
    addFlexibleGap(PNSpacing::sm);

    auto* textBlock = new QWidget(this);
    auto* texts = new QVBoxLayout(textBlock);
    texts->setSpacing(static_cast<int>(PNSpacing::md));
    texts->setContentsMargins(static_cast<int>(PNSpacing::xxl), 0, static_cast<int>(PNSpacing::xxl),
                              0);
    title_ = new OnboardingText(localized("Faster, smarter typing."), PNTypography::titleBrand(),
                                textBlock);
    title_->setGradientFill(true);
    title_->setAlignment(Qt::AlignHCenter);
    texts->addWidget(title_);
    subtitle_ = new OnboardingText(localized("You'll soon be able to rewrite any text and insert\n"
                                             "context-aware snippets in any input."),
                                   PNTypography::bodyBrand(), textBlock);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    subtitle_->setAlignment(Qt::AlignHCenter);
    subtitle_->setLineSpacing(subtitleLineSpacing);
    texts->addWidget(subtitle_);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    textBlock->setSizePolicy(policy);
    addElement(textBlock);

    addFlexibleGap(PNSpacing::sm);
    // The callback is read at the press: the core may install another after this screen is built.
    bottomBar_ = new BrandedBottomBar(
        0, QStringLiteral("Start setup"), false, std::nullopt, {},
        [&model] { model.completeWelcome(); }, this);
    addBottomBar(bottomBar_);
}

} // namespace pennial
