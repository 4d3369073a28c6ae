#include "windows/onboarding/permissions_screen.hpp"

#include "app/app_coordinator.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"
#include "windows/onboarding/permission_row.hpp"

#include <QCoreApplication>
#include <QFrame>
#include <QGraphicsOpacityEffect>
#include <QPushButton>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal headerGap = 50; // the brand header sits within it
constexpr qreal subtitleLineSpacing = 2;
constexpr int permissionsStep = 1;

QString localized(const char* text) {
    return QCoreApplication::translate("PermissionsScreen", text);
}

QWidget* divider(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 0.2); border: none;"));
    return line;
}

} // namespace

PermissionsScreen::PermissionsScreen(AppCoordinator& coordinator, OnboardingModel& model,
                                     QWidget* parent)
    : OnboardingScreenFrame(Alignment::leading, parent), coordinator_(coordinator) {
    setObjectName(QStringLiteral("PermissionsScreen"));
    addFixedGap(headerGap);
    addFlexibleGap(PNSpacing::sm);

    auto* content = new QWidget(this);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    content->setSizePolicy(policy);
    auto* column = new QVBoxLayout(content);
    column->setSpacing(static_cast<int>(PNSpacing::lg));
    column->setContentsMargins(static_cast<int>(PNSpacing::xl), 0, static_cast<int>(PNSpacing::xl),
                               0);
    title_ =
        new OnboardingText(localized("Unlock full access"), PNTypography::headingBrand(), content);
    title_->setGradientFill(true);
    column->addWidget(title_);
    subtitle_ = new OnboardingText(
        localized("Grant permissions so Pennial can transform text reliably from the start."),
        PNTypography::bodyBrand(), content);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    subtitle_->setLineSpacing(subtitleLineSpacing);
    column->addWidget(subtitle_);

    auto* rows = new QVBoxLayout;
    rows->setSpacing(0);
    // The core turns the desktop's accessibility on itself: there is no settings page to open.
    accessibilityRow_ = new PermissionRow(
        QStringLiteral("Accessibility"),
        QStringLiteral("Required to read and replace text in focused inputs."),
        OnboardingSymbol::Shape::person, coordinator_.hasPermissions(), true,
        [&model] { model.requestPermissions(); }, content);
    rows->addWidget(accessibilityRow_);
    rows->addWidget(divider(content));
    // Any X11 client may listen to the keyboard: there is nothing to grant.
    const bool keyboardAccess = !model.hasKeyboardAccess || model.hasKeyboardAccess();
    keyboardRow_ = new PermissionRow(
        QStringLiteral("Keyboard access"),
        QStringLiteral("Recommended for keyboard navigation in the command list."),
        OnboardingSymbol::Shape::keyboard, keyboardAccess, false,
        [this] {
            showAdvice("Keyboard access needs the input group: add yourself to it (sudo usermod "
                       "-aG input $USER), then sign out and back in.");
        },
        content);
    rows->addWidget(keyboardRow_);
    column->addLayout(rows);
    if (model.asksDesktopForKeyboard) {
        desktopKeyboardNote_ = new OnboardingText(
            localized("Pennial pastes through your desktop's remote desktop permission: when "
                      "asked, turn on \"Allow remote interaction\" and press \"Share\"."),
            PNTypography::bodyBrand(), content);
        desktopKeyboardNote_->setColor(PNColor::withOpacity(Qt::white, 0.5));
        column->addWidget(desktopKeyboardNote_);
    }
    advice_ = new OnboardingText(QString(), PNTypography::bodyBrand(), content);
    advice_->setColor(PNColor::withOpacity(Qt::white, 0.8));
    advice_->setObjectName(QStringLiteral("permissionAdvice"));
    column->addWidget(advice_);
    addElement(content);
    showAdvice(coordinator_.permissionAdvice());

    addFlexibleGap(PNSpacing::sm);
    bottomBar_ = new BrandedBottomBar(
        permissionsStep, QStringLiteral("Continue"), !coordinator_.hasPermissions(), std::nullopt,
        {}, [&model] { model.completePermissions(); }, this);
    addBottomBar(bottomBar_);

    coordinatorChanged_ = coordinator_.changed().connect([this] { followTrust(); });
}

void PermissionsScreen::followTrust() {
    const bool trusted = coordinator_.hasPermissions();
    accessibilityRow_->setGranted(trusted);
    bottomBar_->primaryButton()->setEnabled(trusted);
    // Only a change: a keyboard advice stays while the core has nothing new to say.
    if (coordinator_.permissionAdvice() != shownCoreAdvice_)
        showAdvice(coordinator_.permissionAdvice());
}

void PermissionsScreen::showAdvice(const std::optional<std::string>& text) {
    shownCoreAdvice_ = coordinator_.permissionAdvice();
    advice_->setText(text ? QString::fromStdString(*text) : QString());
    advice_->setVisible(text.has_value());
    if (text)
        bringIntoView(advice_);
}

} // namespace pennial
