#include "windows/onboarding/profile_screen.hpp"

#include "app/app_coordinator.hpp"
#include "base/task.hpp"
#include "services/config_service.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_text_area.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QPointer>

namespace pennial {

namespace {

constexpr qreal headerGap = 50; // the brand header sits within it
constexpr qreal subtitleLineSpacing = 2;
constexpr qreal writingContextHeight = 80;
constexpr int profileStep = 5;

QString localized(const char* text) {
    return QCoreApplication::translate("ProfileScreen", text);
}

// Fills the model's empty profile texts from the stored configuration. It writes to the model,
// which outlives the screen, so a load that ends after the screen has gone still counts.
Awaitable<void> fillInFromConfiguration(std::shared_ptr<ConfigService> configService,
                                        QPointer<OnboardingModel> model) {
    AppConfig config;
    try {
        config = co_await configService->loadConfiguration();
    } catch (...) {
        // An unreadable configuration leaves the fields as they are.
        co_return;
    }
    if (!model)
        co_return;
    if (model->displayNames().empty())
        model->setDisplayNames(config.userDisplayNames);
    if (model->writingContext().empty())
        model->setWritingContext(config.userWritingContext);
}

} // namespace

ProfileScreen::ProfileScreen(AppCoordinator& coordinator, OnboardingModel& model, QWidget* parent)
    : OnboardingScreenFrame(Alignment::leading, parent), model_(model) {
    setObjectName(QStringLiteral("ProfileScreen"));
    addFixedGap(headerGap);

    auto* content = new QWidget(this);
    auto* column = new QVBoxLayout(content);
    column->setSpacing(static_cast<int>(PNSpacing::lg));
    column->setContentsMargins(static_cast<int>(PNSpacing::xl), 0, static_cast<int>(PNSpacing::xl),
                               0);
    auto* header = new QVBoxLayout;
    header->setSpacing(static_cast<int>(PNSpacing::sm));
    title_ = new OnboardingText(localized("Let's get to know you"), PNTypography::headingBrand(),
                                content);
    title_->setGradientFill(true);
    header->addWidget(title_);
    subtitle_ =
        new OnboardingText(localized("Just a little info about you to make snippets even smarter."),
                           PNTypography::bodyBrand(), content);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    subtitle_->setLineSpacing(subtitleLineSpacing);
    header->addWidget(subtitle_);
    column->addLayout(header);

    // The texts go to the model exactly as typed: nothing is trimmed or split.
    displayNames_ = new PNFormField(localized("Name & nicknames (comma-separated)"),
                                    localized("Alexandra, Alex..."), PNTypography::body(), false,
                                    std::nullopt, {}, content);
    column->addWidget(displayNames_);
    connect(displayNames_, &PNFormField::textEdited, this,
            [this](const QString& text) { model_.setDisplayNames(text.toStdString()); });
    writingContext_ =
        new PNTextArea(localized("Writing style & preferences"), std::nullopt, writingContextHeight,
                       PNRadius::medium, PNColor::cardInnerBorder(), content);
    column->addWidget(writingContext_);
    connect(writingContext_, &PNTextArea::textEdited, this,
            [this](const QString& text) { model_.setWritingContext(text.toStdString()); });
    // Across the whole width rather than at the leading edge: the fields stretch to the margins.
    addFullWidthElement(content);

    addFlexibleGap(PNSpacing::sm);
    bottomBar_ = new BrandedBottomBar(
        profileStep, QStringLiteral("Next"), false, localized("I'll do this later"),
        [&model] { model.skipProfile(); },
        [&model] { model.saveProfile(model.displayNames(), model.writingContext()); }, this);
    addBottomBar(bottomBar_);

    showModel();
    connect(&model_, &OnboardingModel::profileChanged, this, [this] { showModel(); });
    Task::spawn(coordinator.mainExecutor(),
                fillInFromConfiguration(coordinator.configService(), QPointer(&model_)));
}

void ProfileScreen::showModel() {
    // Only a real difference is shown: resetting a field's text would move its cursor.
    const QString displayNames = QString::fromStdString(model_.displayNames());
    if (displayNames_->text() != displayNames)
        displayNames_->setText(displayNames);
    const QString writingContext = QString::fromStdString(model_.writingContext());
    if (writingContext_->text() != writingContext)
        writingContext_->setText(writingContext);
}

} // namespace pennial
