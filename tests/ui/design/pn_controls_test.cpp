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
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace pennial;
using namespace pennial::test;

namespace {

bool sameRgb(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) <= 2 && std::abs(a.green() - b.green()) <= 2 &&
           std::abs(a.blue() - b.blue()) <= 2;
}

TEST(PNBrandButtonStyleTest, PaddedBrandButtonOpaqueEnabledDimmerPressedFaintDisabled) {
    QPushButton button(QStringLiteral("Continue"));
    PNBrandButtonStyle::apply(&button);
    const QSize label = QFontMetrics(button.font()).size(Qt::TextShowMnemonic, button.text());
    EXPECT_EQ(button.sizeHint(), label + QSize(32, 16));
    button.resize(button.sizeHint());
    const QPoint probe(button.width() / 2, 2); // background, clear of the label

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

TEST(PNStepIndicatorTest, MarksUpToTheCurrentStepAreBrandAndTheCurrentOneIsWide) {
    EXPECT_EQ(PNStepIndicator(0, 0).sizeHint(), QSize(0, 0));
    PNStepIndicator steps(4, 1);
    EXPECT_EQ(steps.sizeHint(), QSize(6 + 18 + 6 + 6 + 3 * 5, 6));
    steps.resize(steps.sizeHint());
    EXPECT_EQ(steps.markRect(1), QRectF(11, 0, 18, 6));
    EXPECT_EQ(steps.markRect(3), QRectF(45, 0, 6, 6));

    const QImage image = renderAlone(&steps);
    const auto markColour = [&](int i) {
        return image.pixelColor(steps.markRect(i).center().toPoint());
    };
    EXPECT_TRUE(sameRgb(markColour(0), PNColor::brand()));
    EXPECT_TRUE(sameRgb(markColour(1), PNColor::brand()));
    EXPECT_TRUE(sameRgb(markColour(2), Qt::white));
    EXPECT_NEAR(markColour(3).alphaF(), 0.2, 0.01);
    EXPECT_EQ(image.pixelColor(8, 3).alpha(), 0); // the gap between marks
}

TEST(PNStepIndicatorTest, AMoveEasesTheMarksToTheNewStep) {
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

TEST(PNFormFieldTest, LabelLineOnlyWhenNonEmptyUserEditsReportedReturnSubmits) {
    EXPECT_EQ(PNFormField(QString(), {}, PNTypography::body(), false).labelLine(), nullptr);
    int submits = 0;
    PNFormField field(QStringLiteral("Email"), QStringLiteral("name@example.com..."),
                      PNTypography::body(), false, std::nullopt, [&] { ++submits; });
    ASSERT_NE(field.labelLine(), nullptr);
    EXPECT_EQ(field.labelLine()->font(), PNTypography::caption());
    QStringList edits;
    QObject::connect(&field, &PNFormField::textEdited, [&](const QString& t) { edits.append(t); });

    field.setText(QStringLiteral("a@b.c"));
    typeText(field.lineEdit(), QStringLiteral("d"));
    EXPECT_EQ(edits, QStringList{QStringLiteral("a@b.cd")}); // the caller's text is no edit
    pressKey(field.lineEdit(), Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(submits, 1);
    field.setFieldDisabled(true);
    EXPECT_FALSE(field.lineEdit()->isEnabled());
}

TEST(PNFormFieldTest, AWidthCapsTheFieldAndCentresIt) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* field = new PNFormField(std::nullopt, QString(), PNTypography::body(), false, 200.0);
    layout->addWidget(field);
    host.resize(400, 60);
    host.show();
    EXPECT_EQ(field->lineEdit()->geometry().left(), 100);
    EXPECT_EQ(field->lineEdit()->width(), 200);
    host.resize(150, 60); // narrower than the cap: the field follows
    EXPECT_TRUE(processEventsUntil([&] { return field->lineEdit()->width() == 150; }));
}

TEST(PNTextAreaTest, EmptyLabelKeepsItsLineAndThePlaceholderShowsOnlyWhileEmpty) {
    PNTextArea area(QString(), QStringLiteral("Tell the AI what to do"), 80.0, PNRadius::small,
                    PNColor::textTertiary());
    QStringList edits;
    QObject::connect(&area, &PNTextArea::textEdited, [&](const QString& t) { edits.append(t); });
    area.resize(320, 140);
    area.show();
    ASSERT_NE(area.labelLine(), nullptr);
    EXPECT_GT(area.labelLine()->height(), 0);
    EXPECT_EQ(area.box()->height(), 80);
    EXPECT_TRUE(area.placeholderLabel()->isVisible());
    EXPECT_TRUE(area.placeholderLabel()->testAttribute(Qt::WA_TransparentForMouseEvents));

    typeText(area.editor(), QStringLiteral("F"));
    EXPECT_FALSE(area.placeholderLabel()->isVisible());
    area.setText(QString());
    EXPECT_TRUE(area.placeholderLabel()->isVisible());
    EXPECT_EQ(edits, QStringList{QStringLiteral("F")}); // the caller's text is no edit
}

TEST(PNErrorTextTest, NoMessageTakesNoSpaceAnEmptyOneKeepsAnEmptyLine) {
    QWidget host;
    auto* layout = new QVBoxLayout(&host);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* above = new QLabel(QStringLiteral("above"));
    auto* error = new PNErrorText();
    layout->addWidget(above);
    layout->addWidget(error);
    const int withoutError = host.sizeHint().height();
    EXPECT_EQ(withoutError, above->sizeHint().height());

    error->setMessage(QString());
    EXPECT_GT(host.sizeHint().height(), withoutError + layout->spacing());
    error->setMessage(std::nullopt);
    EXPECT_EQ(host.sizeHint().height(), withoutError);
}

TEST(PNErrorTextTest, AServerPageShowsAsOneShortPlainLine) {
    const QFontMetrics metrics(PNTypography::caption());
    const QString page = QStringLiteral("<html><body>\n<h1>502 Bad Gateway</h1>\n<hr>") +
                         QString(600, QLatin1Char('x')) + QStringLiteral("</body></html>");
    PNErrorText error(page);
    error.setFixedWidth(2000);
    EXPECT_TRUE(error.text().startsWith(QStringLiteral("<html><body> <h1>502")));
    EXPECT_LT(error.text().size(), 260);
    EXPECT_TRUE(error.text().endsWith(QChar(0x2026)));
    EXPECT_EQ(error.toolTip(), page); // the whole of it is still there to read
    EXPECT_LE(error.heightForWidth(2000), metrics.lineSpacing() + 2);
    EXPECT_EQ(error.message(), page);

    error.setMessage(QStringLiteral("<b>Invalid</b> code"));
    EXPECT_GE(error.sizeHint().width(), metrics.horizontalAdvance(error.text()) - 1);
    EXPECT_TRUE(error.toolTip().isEmpty());
}

TEST(PNBadgeTest, ACapsuleAroundTheTextInItsColours) {
    PNBadge badge(QStringLiteral("Required"), PNColor::error(), PNColor::badgeBackground());
    const QFontMetrics metrics(PNTypography::caption());
    EXPECT_NEAR(badge.sizeHint().width(), metrics.horizontalAdvance(badge.text()) + 16, 1);
    badge.resize(badge.sizeHint());
    const QImage image = renderAlone(&badge);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the capsule's round end
    EXPECT_NEAR(image.pixelColor(badge.height() / 2, 1).alphaF(), 0.12, 0.02);
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
    EXPECT_LT(image.pixelColor(100, 0).blue(), 200); // the dark outer edge over the content
    EXPECT_GT(image.pixelColor(100, 1).red(), 40);   // the light inner highlight
}

// Every control together on a dark window, saved for review.
TEST(PNControlsGalleryTest, AllControlsOnADarkWindow) {
    PNFonts::registerCustomFonts();
    QWidget window;
    window.setStyleSheet(QStringLiteral("QLabel#heading { color: white; }"));
    window.setAutoFillBackground(true);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, PNColor::onboardingBg());
    window.setPalette(palette);
    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(24, 24, 24, 24);
    auto* heading = new QLabel(QStringLiteral("Sign in"));
    heading->setObjectName(QStringLiteral("heading"));
    heading->setFont(PNTypography::headingBrand());
    column->addWidget(heading);
    column->addWidget(new PNStepIndicator(7, 2));
    column->addWidget(new PNFormField(QStringLiteral("Email"), QStringLiteral("name@example.com"),
                                      PNTypography::body(), false));
    column->addWidget(new PNTextArea(QStringLiteral("Writing style"), QStringLiteral("Friendly"),
                                     80.0, PNRadius::medium, PNColor::cardInnerBorder()));
    column->addWidget(new PNErrorText(QStringLiteral("Could not send the code. Try again.")));
    auto* row = new QHBoxLayout();
    for (bool enabled : {true, false}) {
        auto* button = new QPushButton(enabled ? QStringLiteral("Send") : QStringLiteral("Verify"));
        PNBrandButtonStyle::apply(button);
        button->setEnabled(enabled);
        row->addWidget(button);
    }
    auto* saved = new PNSavedIndicator(std::chrono::seconds(2));
    row->addWidget(saved);
    row->addWidget(
        new PNBadge(QStringLiteral("Required"), PNColor::error(), PNColor::badgeBackground()));
    row->addStretch();
    column->addLayout(row);
    auto* code = new PNOTPField(false, {});
    column->addWidget(code, 0, Qt::AlignHCenter);
    auto* card = new PNCardModifier(PNRadius::medium);
    auto* row0 = new QLabel(QStringLiteral("   fix   Fix grammar and spelling"));
    row0->setObjectName(QStringLiteral("heading"));
    card->setContent(row0);
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
