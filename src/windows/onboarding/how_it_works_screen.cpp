#include "windows/onboarding/how_it_works_screen.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal headerGap = 50; // the brand header sits within it
constexpr int tileSize = 32;
constexpr int tileNumberSize = 14;
constexpr int stepTitleSize = 15;
constexpr qreal subtitleLineSpacing = 2;
constexpr qreal descriptionLineSpacing = 3;
constexpr int howItWorksStep = 2;

QString localized(const char* text) {
    return QCoreApplication::translate("HowItWorksScreen", text);
}

QWidget* wrappingBlock(QWidget* parent) {
    auto* block = new QWidget(parent);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    block->setSizePolicy(policy);
    return block;
}

// A step's number in the brand gradient on a faint brand-coloured rounded square.
class NumberTile : public QWidget {
public:
    NumberTile(const QString& number, QWidget* parent) : QWidget(parent), number_(number) {
        setFixedSize(tileSize, tileSize);
        setFont(PNTypography::brand(QStringLiteral("Sora"), tileNumberSize, QFont::Bold));
        setAccessibleName(number);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF bounds(rect());
        QPainterPath tile;
        tile.addRoundedRect(bounds, PNRadius::small, PNRadius::small);
        painter.fillPath(tile, PNColor::withOpacity(PNColor::brand(), 0.12));
        painter.setFont(font());
        const QRectF glyphs = painter.boundingRect(bounds, Qt::AlignCenter, number_);
        painter.setPen(QPen(QBrush(PNColor::brandGradient(glyphs)), 0));
        painter.drawText(bounds, Qt::AlignCenter, number_);
    }

private:
    QString number_;
};

} // namespace

HowItWorksScreen::HowItWorksScreen(OnboardingModel& model, QWidget* parent)
    : OnboardingScreenFrame(Alignment::leading, parent) {
    setObjectName(QStringLiteral("HowItWorksScreen"));
    addFixedGap(headerGap);
    addFlexibleGap(0);

    auto* content = wrappingBlock(this);
    auto* column = new QVBoxLayout(content);
    column->setSpacing(static_cast<int>(PNSpacing::xl));
    column->setContentsMargins(static_cast<int>(PNSpacing::xxl), 0,
                               static_cast<int>(PNSpacing::xxl), 0);

    auto* header = new QVBoxLayout;
    header->setSpacing(static_cast<int>(PNSpacing::sm));
    title_ = new OnboardingText(localized("How it works"), PNTypography::headingBrand(), content);
    title_->setGradientFill(true);
    header->addWidget(title_);
    subtitle_ = new OnboardingText(localized("Three steps. No learning curve."),
                                   PNTypography::bodyBrand(), content);
    subtitle_->setColor(PNColor::withOpacity(Qt::white, 0.5));
    subtitle_->setLineSpacing(subtitleLineSpacing);
    header->addWidget(subtitle_);
    column->addLayout(header);

    auto* steps = new QVBoxLayout;
    steps->setSpacing(static_cast<int>(PNSpacing::xl));
    // The second step names the default pattern whatever the user has set: it is an example.
    steps->addWidget(howItWorksRow(
        QStringLiteral("1"), QStringLiteral("Create a command"),
        QStringLiteral("Write instructions in plain English \u2014 like \"rewrite to be more "
                       "professional\" \u2014 and give it a short name."),
        content));
    steps->addWidget(howItWorksRow(QStringLiteral("2"), QStringLiteral("Type the trigger"),
                                   QStringLiteral("In any text field, type your trigger pattern "
                                                  "followed by the command name, e.g. ;;polish"),
                                   content));
    steps->addWidget(howItWorksRow(
        QStringLiteral("3"), QStringLiteral("Get the result"),
        QStringLiteral("Pennial reads the surrounding context, runs your command, and replaces "
                       "the text \u2014 all in-place."),
        content));
    column->addLayout(steps);
    addElement(content);

    addFlexibleGap(0);
    // Read at the press: the core may install another callback after this screen is built.
    bottomBar_ = new BrandedBottomBar(
        howItWorksStep, QStringLiteral("Next"), false, std::nullopt, {},
        [&model] { model.completeVideoIntro(); }, this);
    addBottomBar(bottomBar_);
}

QWidget* HowItWorksScreen::howItWorksRow(const QString& number, const QString& title,
                                         const QString& description, QWidget* parent) {
    auto* row = wrappingBlock(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(static_cast<int>(PNSpacing::lg));
    auto* tile = new NumberTile(number, row);
    line->addWidget(tile, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(static_cast<int>(PNSpacing::xs));
    auto* titleText = new OnboardingText(
        title, PNTypography::brand(QStringLiteral("Inter"), stepTitleSize, QFont::DemiBold), row);
    texts->addWidget(titleText);
    auto* descriptionText = new OnboardingText(description, PNTypography::bodyBrand(), row);
    descriptionText->setColor(PNColor::withOpacity(Qt::white, 0.45));
    descriptionText->setLineSpacing(descriptionLineSpacing);
    texts->addWidget(descriptionText);
    texts->addStretch(1);
    line->addLayout(texts, 1);
    steps_.push_back({tile, titleText, descriptionText});
    return row;
}

} // namespace pennial
