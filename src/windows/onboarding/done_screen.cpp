#include "windows/onboarding/done_screen.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"
#include "windows/onboarding/branded_bottom_bar.hpp"
#include "windows/onboarding/onboarding_model.hpp"
#include "windows/onboarding/onboarding_text.hpp"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace pennial {

namespace {

constexpr qreal headerGap = 50; // the brand header sits within it
constexpr qreal iconGlyphSize = 13;
constexpr int iconColumnWidth = 20;
constexpr int iconTopPadding = 2;
constexpr qreal rowTextLineSpacing = 3;
constexpr int doneStep = 6;

QString localized(const char* text) {
    return QCoreApplication::translate("DoneScreen", text);
}

} // namespace

DoneScreen::DoneScreen(OnboardingModel& model, QWidget* parent)
    : OnboardingScreenFrame(Alignment::leading, parent) {
    setObjectName(QStringLiteral("DoneScreen"));
    addFixedGap(headerGap);
    addFlexibleGap(PNSpacing::sm);

    auto* content = OnboardingScreenFrame::wrappingBlock(this);
    auto* column = new QVBoxLayout(content);
    column->setSpacing(static_cast<int>(PNSpacing::xl));
    column->setContentsMargins(static_cast<int>(PNSpacing::xxl), 0,
                               static_cast<int>(PNSpacing::xxl), 0);
    title_ =
        new OnboardingText(localized("You're all set."), PNTypography::headingBrand(), content);
    title_->setGradientFill(true);
    column->addWidget(title_);

    auto* rowsBlock = OnboardingScreenFrame::wrappingBlock(content);
    auto* rows = new QVBoxLayout(rowsBlock);
    rows->setSpacing(static_cast<int>(PNSpacing::lg));
    rows->setContentsMargins(0, 0, 0, 0);
    rows->addWidget(doneRow(OnboardingSymbol::Shape::bolt,
                            localized("Pennial runs in the background \u2014 type your trigger "
                                      "followed by a command name in any text field."),
                            rowsBlock));
    rows->addWidget(doneRow(OnboardingSymbol::Shape::sliders,
                            localized("Your default commands are ready to go. Open Settings to "
                                      "customize them or create new ones."),
                            rowsBlock));
    // Without a tray nothing on screen leads back to the program once this window is gone.
    const bool tray = !model.hasSystemTray || model.hasSystemTray();
    rows->addWidget(doneRow(OnboardingSymbol::Shape::topPanel,
                            tray ? localized("Find Pennial in your system tray anytime.")
                                 : localized("This desktop has no system tray: to open Pennial "
                                             "again, start it from your applications menu."),
                            rowsBlock));
    column->addWidget(rowsBlock);
    addElement(content);

    addFlexibleGap(PNSpacing::sm);
    // Read at the press: the core may install another callback after this screen is built.
    bottomBar_ = new BrandedBottomBar(
        doneStep, QStringLiteral("Open Settings"), false, std::nullopt, {},
        [&model] { model.completePlayground(); }, this);
    addBottomBar(bottomBar_);
}

QWidget* DoneScreen::doneRow(OnboardingSymbol::Shape icon, const QString& text, QWidget* parent) {
    auto* row = OnboardingScreenFrame::wrappingBlock(parent);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(static_cast<int>(PNSpacing::md));
    // The icon's box is as high as the glyph, padded down to sit level with the first line.
    auto* symbol =
        new OnboardingSymbol(icon, iconGlyphSize, PNColor::brand(),
                             QSize(iconColumnWidth, static_cast<int>(iconGlyphSize)), row);
    auto* iconColumn = new QVBoxLayout;
    iconColumn->setContentsMargins(0, iconTopPadding, 0, 0);
    iconColumn->addWidget(symbol);
    iconColumn->addStretch(1);
    line->addLayout(iconColumn);
    auto* label = new OnboardingText(text, PNTypography::bodyBrand(), row);
    label->setColor(PNColor::withOpacity(Qt::white, 0.55));
    label->setLineSpacing(rowTextLineSpacing);
    line->addWidget(label, 1, Qt::AlignTop);
    rows_.push_back({symbol, label});
    return row;
}

} // namespace pennial
