#include "ui/design/pn_animations.hpp"
#include "ui/design/pn_badge.hpp"
#include "ui/design/pn_brand_button_style.hpp"
#include "ui/design/pn_card_modifier.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_error_text.hpp"
#include "ui/design/pn_fonts.hpp"
#include "ui/design/pn_form_field.hpp"
#include "ui/design/pn_otp_field.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_saved_indicator.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "ui/design/pn_text_area.hpp"
#include "ui/design/pn_typography.hpp"
#include "ui_test_support.hpp"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <memory>

using namespace pennial;
using namespace pennial::test;

namespace {

QColor centrePixel(const QImage& image, const QRectF& rect) {
    return image.pixelColor(rect.center().toPoint());
}

bool sameRgb(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

TEST(PNBrandButtonStyleTest, DrawsOpaqueWhenEnabledDimmerWhenPressedFaintWhenDisabled) {
    PNFonts::registerCustomFonts();
    QPushButton button(QStringLiteral("Continue"));
    PNBrandButtonStyle::apply(&button);
    button.resize(button.sizeHint());
    // A corner of the label-free background, inside the rounded corner.
    const QPoint probe(button.width() / 2, 2);

    const QImage enabled = renderAlone(&button);
    EXPECT_EQ(enabled.pixelColor(probe).alpha(), 255);
    EXPECT_TRUE(sameRgb(enabled.pixelColor(probe), PNColor::brand()));
    EXPECT_LT(enabled.pixelColor(0, 0).alpha(), 128); // outside the rounded corner

    button.setDown(true);
    EXPECT_NEAR(renderAlone(&button).pixelColor(probe).alpha(), 204, 2);
    button.setDown(false);

    button.setEnabled(false);
    EXPECT_NEAR(renderAlone(&button).pixelColor(probe).alpha(), 89, 2);
}

TEST(PNBrandButtonStyleTest, PadsItsLabelAndUsesTheBrandFont) {
    QPushButton button(QStringLiteral("Send"));
    PNBrandButtonStyle::apply(&button);
    EXPECT_EQ(button.font().family(), QStringLiteral("Inter"));
    EXPECT_EQ(button.font().pixelSize(), 13);
    EXPECT_EQ(button.font().weight(), QFont::Medium);

    const QFontMetrics metrics(button.font());
    const QSize label = metrics.size(Qt::TextShowMnemonic, QStringLiteral("Send"));
    EXPECT_EQ(button.sizeHint(), label + QSize(32, 16));
}

TEST(PNStepIndicatorTest, MarksUpToTheCurrentStepAreBrandAndTheCurrentOneIsWide) {
    PNStepIndicator steps(4, 1);
    EXPECT_EQ(steps.sizeHint(), QSize(6 + 18 + 6 + 6 + 3 * 5, 6));
    steps.resize(steps.sizeHint());

    EXPECT_EQ(steps.markRect(0), QRectF(0, 0, 6, 6));
    EXPECT_EQ(steps.markRect(1), QRectF(11, 0, 18, 6));
    EXPECT_EQ(steps.markRect(2), QRectF(34, 0, 6, 6));
    EXPECT_EQ(steps.markRect(3), QRectF(45, 0, 6, 6));

    const QImage image = renderAlone(&steps);
    EXPECT_TRUE(sameRgb(centrePixel(image, steps.markRect(0)), PNColor::brand()));
    EXPECT_TRUE(sameRgb(centrePixel(image, steps.markRect(1)), PNColor::brand()));
    for (int later : {2, 3}) {
        const QColor mark = centrePixel(image, steps.markRect(later));
        EXPECT_TRUE(sameRgb(mark, Qt::white));
        EXPECT_NEAR(mark.alphaF(), 0.2, 0.01);
    }
    EXPECT_EQ(image.pixelColor(8, 3).alpha(), 0); // the gap between marks
}

TEST(PNStepIndicatorTest, ZeroStepsDrawNothingAndAMoveLandsWithAnimationsOff) {
    PNStepIndicator none(0, 0);
    EXPECT_EQ(none.sizeHint(), QSize(0, 0));

    PNStepIndicator steps(7, 0);
    steps.resize(steps.sizeHint());
    steps.setCurrentStep(3);
    EXPECT_EQ(steps.markRect(0).width(), 6);
    EXPECT_EQ(steps.markRect(3).width(), 18);
    EXPECT_EQ(steps.markRect(3).left(), 3 * (6 + 5));
}

TEST(PNStepIndicatorTest, WithAnimationsOnTheMarksEaseToTheNewStep) {
    struct AnimationsOn {
        AnimationsOn() { PNAnimations::setEnabled(true); }
        ~AnimationsOn() { PNAnimations::setEnabled(false); }
    } animationsOn;
    PNStepIndicator steps(4, 0);
    steps.resize(steps.sizeHint());
    steps.setCurrentStep(1);
    EXPECT_EQ(steps.markRect(1).width(), 6); // starts where it was
    bool sawBetween = false;
    EXPECT_TRUE(processEventsUntil([&] {
        const qreal width = steps.markRect(1).width();
        sawBetween = sawBetween || (width > 6 && width < 18);
        return width == 18 && steps.markRect(0).width() == 6;
    }));
    EXPECT_TRUE(sawBetween);
}

TEST(PNFormFieldTest, ALabelLineOnlyForANonEmptyLabel) {
    EXPECT_EQ(PNFormField(QString(), QStringLiteral("x"), PNTypography::body(), false).labelLine(),
              nullptr);
    EXPECT_EQ(
        PNFormField(std::nullopt, QStringLiteral("x"), PNTypography::body(), false).labelLine(),
        nullptr);

    PNFormField field(QStringLiteral("Email"), QStringLiteral("name@example.com..."),
                      PNTypography::body(), false);
    ASSERT_NE(field.labelLine(), nullptr);
    EXPECT_EQ(field.labelLine()->text(), QStringLiteral("Email"));
    EXPECT_EQ(field.labelLine()->font(), PNTypography::caption());
    EXPECT_EQ(field.lineEdit()->placeholderText(), QStringLiteral("name@example.com..."));
    field.resize(280, field.sizeHint().height());
}

TEST(PNFormFieldTest, ReportsUserEditsNotTheCallersTextAndSubmitsOnReturn) {
    int submits = 0;
    PNFormField field(QStringLiteral("Email"), QString(), PNTypography::body(), false, std::nullopt,
                      [&] { ++submits; });
    QStringList edits;
    QObject::connect(&field, &PNFormField::textEdited,
                     [&](const QString& text) { edits.append(text); });

    field.setText(QStringLiteral("a@b.c"));
    EXPECT_TRUE(edits.isEmpty());
    typeText(field.lineEdit(), QStringLiteral("d"));
    EXPECT_EQ(edits, QStringList{QStringLiteral("a@b.cd")});
    pressKey(field.lineEdit(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(submits, 1);

    field.setFieldDisabled(true);
    EXPECT_FALSE(field.lineEdit()->isEnabled());
    EXPECT_TRUE(field.labelLine()->isEnabled());
}

TEST(PNFormFieldTest, AWidthCapsTheFieldAndCentresIt) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* field = new PNFormField(std::nullopt, QString(), PNTypography::body(), false, 200.0);
    layout->addWidget(field);
    host.resize(400, 60);
    host.show();
    EXPECT_EQ(field->lineEdit()->width(), 200);
    EXPECT_EQ(field->lineEdit()->x(), 100);

    host.resize(150, 60); // narrower than the cap: the field follows
    ASSERT_TRUE(processEventsUntil([&] { return field->lineEdit()->width() == 150; }));
}

TEST(PNTextAreaTest, AnEmptyLabelStillTakesItsLine) {
    PNTextArea area(QString(), std::nullopt, 80.0, PNRadius::medium, PNColor::cardInnerBorder());
    ASSERT_NE(area.labelLine(), nullptr);
    area.show();
    EXPECT_TRUE(area.labelLine()->isVisible());
    EXPECT_GT(area.labelLine()->height(), 0);
    EXPECT_EQ(area.box()->height(), 80);

    PNTextArea unlabelled(std::nullopt, std::nullopt, std::nullopt, PNRadius::small,
                          PNColor::textTertiary());
    EXPECT_EQ(unlabelled.labelLine(), nullptr);
}

TEST(PNTextAreaTest, ThePlaceholderShowsOnlyWhileTheTextIsEmpty) {
    PNTextArea area(QStringLiteral("Instructions"), QStringLiteral("Tell the AI what to do"),
                    std::nullopt, PNRadius::small, PNColor::textTertiary());
    QStringList edits;
    QObject::connect(&area, &PNTextArea::textEdited,
                     [&](const QString& text) { edits.append(text); });
    area.resize(320, 140);
    area.show();
    ASSERT_NE(area.placeholderLabel(), nullptr);
    EXPECT_TRUE(area.placeholderLabel()->isVisible());
    EXPECT_TRUE(area.placeholderLabel()->testAttribute(Qt::WA_TransparentForMouseEvents));

    typeText(area.editor(), QStringLiteral("F"));
    EXPECT_FALSE(area.placeholderLabel()->isVisible());
    EXPECT_EQ(edits, QStringList{QStringLiteral("F")});

    area.setText(QString());
    EXPECT_TRUE(area.placeholderLabel()->isVisible());
    area.setText(QStringLiteral("Fix grammar"));
    EXPECT_FALSE(area.placeholderLabel()->isVisible());
    EXPECT_EQ(edits.size(), 1); // the caller's own text is not an edit
}

TEST(PNErrorTextTest, NoMessageTakesNoSpaceAnEmptyOneKeepsAnEmptyLine) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* above = new QLabel(QStringLiteral("above"));
    auto* error = new PNErrorText();
    layout->addWidget(above);
    layout->addWidget(error);
    host.show();
    const int withoutError = host.sizeHint().height();
    EXPECT_EQ(withoutError, above->sizeHint().height());

    error->setMessage(QString());
    EXPECT_TRUE(error->isVisibleTo(&host));
    EXPECT_GT(host.sizeHint().height(), withoutError + 8);

    error->setMessage(QStringLiteral("Could not send the code."));
    EXPECT_EQ(error->text(), QStringLiteral("Could not send the code."));
    EXPECT_EQ(error->palette().color(QPalette::WindowText), PNColor::error());
    error->setMessage(std::nullopt);
    EXPECT_EQ(host.sizeHint().height(), withoutError);
}

TEST(PNBadgeTest, ACapsuleAroundTheTextInItsColours) {
    QWidget host;
    PNBadge& badge = *new PNBadge(QStringLiteral("Required"), PNColor::error(),
                                  PNColor::badgeBackground(), &host);
    const QFontMetrics metrics(PNTypography::caption());
    EXPECT_NEAR(badge.sizeHint().width(),
                metrics.horizontalAdvance(QStringLiteral("Required")) + 16, 1);
    EXPECT_NEAR(badge.sizeHint().height(), metrics.height() + 4, 1);
    badge.resize(badge.sizeHint());
    const QImage image = renderAlone(&badge);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the capsule's round end
    const QColor fill = image.pixelColor(badge.height() / 2, 1);
    EXPECT_NEAR(fill.alphaF(), PNColor::badgeBackground().alphaF(), 0.02);
}

TEST(PNCardModifierTest, ContentIsClippedToTheCornersAndBordersLieOverIt) {
    PNCardModifier card(PNRadius::medium);
    auto* content = new QWidget();
    content->setAutoFillBackground(true);
    QPalette palette = content->palette();
    palette.setColor(QPalette::Window, QColor(40, 90, 200));
    content->setPalette(palette);
    card.setContent(content);
    card.resize(200, 80);
    const QImage image = renderAlone(&card);

    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the rounded corner
    EXPECT_EQ(image.pixelColor(100, 40), QColor(40, 90, 200));
    // The outer edge darkens the content under it; the inner highlight lightens it.
    const QColor edge = image.pixelColor(100, 0);
    EXPECT_LT(edge.blue(), 200);
    const QColor highlight = image.pixelColor(100, 1);
    EXPECT_GT(highlight.red(), 40);
}

// Every control together on a dark card window, saved for review.
TEST(PNControlsGalleryTest, AllControlsOnADarkWindow) {
    PNFonts::registerCustomFonts();
    QWidget window;
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, PNColor::onboardingBg());
    window.setPalette(palette);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);

    auto* heading = new QLabel(QStringLiteral("Sign in"));
    heading->setFont(PNTypography::headingBrand());
    heading->setStyleSheet(QStringLiteral("color: white;"));
    column->addWidget(heading);
    column->addWidget(new PNStepIndicator(7, 2));
    auto* email = new PNFormField(QStringLiteral("Email"), QStringLiteral("name@example.com..."),
                                  PNTypography::body(), false);
    column->addWidget(email);
    auto* style = new PNTextArea(QStringLiteral("Writing style & preferences"),
                                 QStringLiteral("Short and friendly"), 80.0, PNRadius::medium,
                                 PNColor::cardInnerBorder());
    column->addWidget(style);
    column->addWidget(new PNErrorText(QStringLiteral("Could not send the code. Try again.")));
    auto* row = new QHBoxLayout();
    auto* send = new QPushButton(QStringLiteral("Send"));
    PNBrandButtonStyle::apply(send);
    row->addWidget(send);
    auto* disabled = new QPushButton(QStringLiteral("Verify"));
    PNBrandButtonStyle::apply(disabled);
    disabled->setEnabled(false);
    row->addWidget(disabled);
    auto* saved = new PNSavedIndicator(std::chrono::seconds(2));
    row->addWidget(saved);
    row->addWidget(
        new PNBadge(QStringLiteral("Required"), PNColor::error(), PNColor::badgeBackground()));
    row->addStretch();
    column->addLayout(row);
    auto* code = new PNOTPField(false, {});
    column->addWidget(code, 0, Qt::AlignHCenter);
    auto* card = new PNCardModifier(PNRadius::medium);
    auto* cardText = new QLabel(QStringLiteral("  fix   Fix grammar and spelling"));
    cardText->setFont(PNTypography::label());
    cardText->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 217);"));
    card->setContent(cardText);
    card->setMinimumHeight(36);
    column->addWidget(card);

    window.resize(420, window.sizeHint().height());
    window.show();
    saved->setShowing(true);
    code->setCode(QStringLiteral("4821"));
    EXPECT_EQ(code->size(), QSize(312, 48));
    saveScreenshot(&window, QStringLiteral("controls_gallery"));
}

} // namespace
