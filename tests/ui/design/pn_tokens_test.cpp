#include "base/log.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_fonts.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QRawFont>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>

using namespace pennial;

namespace {

QStringList familiesOf(const QList<int>& ids) {
    QStringList families;
    for (int id : ids)
        families += QFontDatabase::applicationFontFamilies(id);
    families.removeDuplicates();
    return families;
}

} // namespace

TEST(PNFontsTest, AFamilyWithoutFilesIsSkippedAndTheOtherStillRegisters) {
    QTemporaryDir resources;
    ASSERT_TRUE(QDir(resources.path()).mkpath(QStringLiteral("Inter")));
    const QString interDir = resources.filePath(QStringLiteral("Inter"));
    for (const QString& file : QDir(QStringLiteral(":/fonts/Inter")).entryList())
        ASSERT_TRUE(QFile::copy(QStringLiteral(":/fonts/Inter/") + file, interDir + '/' + file));
    QFile(interDir + QStringLiteral("/Broken.otf")).open(QIODevice::WriteOnly);

    LogCapture log;
    const QList<int> ids = detail::registerFontFamilies(
        resources.path(), {QStringLiteral("Sora"), QStringLiteral("Inter")});

    // Every shipped weight but the broken file; each names the family, none is Sora.
    EXPECT_EQ(ids.size(), QDir(interDir).entryList(QDir::Files).size() - 1);
    for (const QString& family : familiesOf(ids))
        EXPECT_TRUE(family.startsWith(QStringLiteral("Inter"))) << family.toStdString();
    EXPECT_TRUE(log.lines().empty());
}

TEST(PNFontsTest, BrandTokensResolveToTheRegisteredFamilies) {
    PNFonts::registerCustomFonts();
    PNFonts::registerCustomFonts(); // a second registration is passed over

    const QFontInfo heading(PNTypography::headingBrand());
    EXPECT_EQ(heading.family(), QStringLiteral("Sora"));
    EXPECT_EQ(heading.weight(), QFont::Bold);
    EXPECT_EQ(heading.pixelSize(), 28);

    const QFontInfo body(PNTypography::bodyBrand());
    EXPECT_EQ(body.family(), QStringLiteral("Inter"));
    EXPECT_EQ(body.weight(), QFont::Normal);
    EXPECT_EQ(body.pixelSize(), 14);
    const QRawFont medium = QRawFont::fromFont(PNTypography::bodyBrandMedium());
    EXPECT_EQ(medium.familyName(), QStringLiteral("Inter"));
    EXPECT_EQ(medium.styleName(), QStringLiteral("Medium"));
    EXPECT_EQ(QFontInfo(PNTypography::titleBrand()).pixelSize(), 34);
}

TEST(PNTypographyTest, SystemTokensHaveTheirSizesAndWeightsInPixels) {
    struct Expected {
        const QFont& font;
        int pixelSize;
        QFont::Weight weight;
    };
    const Expected tokens[] = {
        {PNTypography::caption(), 11, QFont::DemiBold},
        {PNTypography::body(), 13, QFont::Normal},
        {PNTypography::bodySemibold(), 13, QFont::DemiBold},
        {PNTypography::heading(), 16, QFont::DemiBold},
        {PNTypography::title(), 22, QFont::Bold},
        {PNTypography::captionSmall(), 10, QFont::Medium},
        {PNTypography::label(), 12, QFont::Medium},
        {PNTypography::labelRegular(), 12, QFont::Normal},
        {PNTypography::labelBold(), 12, QFont::Bold},
        {PNTypography::monoLarge(), 22, QFont::Medium},
    };
    for (const Expected& token : tokens) {
        EXPECT_EQ(token.font.pixelSize(), token.pixelSize);
        EXPECT_EQ(token.font.weight(), token.weight);
    }
    EXPECT_TRUE(QFontInfo(PNTypography::monoLarge()).fixedPitch());
}

TEST(PNTokensTest, SpacingAndRadiiThatTheViewsLayOutWith) {
    EXPECT_EQ((std::array{PNSpacing::xxs, PNSpacing::xs, PNSpacing::sm, PNSpacing::md,
                          PNSpacing::lg, PNSpacing::xl, PNSpacing::xxl}),
              (std::array<qreal, 7>{2, 4, 8, 12, 16, 24, 32}));
    EXPECT_EQ((std::array{PNRadius::small, PNRadius::medium, PNRadius::large}),
              (std::array<qreal, 3>{6, 10, 14}));
}

TEST(PNColorTest, ExactBrandColoursAndOpacitiesThatMultiplyTheBaseAlpha) {
    EXPECT_EQ(PNColor::brand(), QColor(0x00, 0xDA, 0x93));
    EXPECT_EQ(PNColor::brandGradientStart(), QColor(0x60, 0xB2, 0x97));
    EXPECT_EQ(PNColor::brandGradientEnd(), QColor(0xCD, 0xFD, 0xED));
    EXPECT_EQ(PNColor::onboardingBg(), QColor(Qt::black));

    const qreal primary = PNColor::textPrimary().alphaF();
    EXPECT_NEAR(PNColor::textTertiary().alphaF(), primary * 0.4, 0.01);
    EXPECT_NEAR(PNColor::rowBackground().alphaF(), primary * 0.04, 0.01);
    EXPECT_NEAR(PNColor::rowBackgroundSelected().alphaF(), primary * 0.12, 0.01);
    EXPECT_EQ(PNColor::cardBorder().rgba(), qRgba(0, 0, 0, 51));
    EXPECT_EQ(PNColor::cardInnerBorder().rgba(), qRgba(255, 255, 255, 82));
    EXPECT_NEAR(PNColor::badgeBackground().alphaF(), 0.12, 0.01);
    EXPECT_EQ(PNColor::badgeBackground().rgb(), PNColor::error().rgb());
}

TEST(PNColorTest, BrandGradientRunsFromTopLeadingToBottomTrailing) {
    QImage image(100, 50, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(image.rect(), PNColor::brandGradient(QRectF(image.rect())));
    painter.end();

    const auto near = [](QColor a, QColor b) {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
               std::abs(a.blue() - b.blue()) <= 3;
    };
    EXPECT_TRUE(near(image.pixelColor(0, 0), PNColor::brandGradientStart()));
    EXPECT_TRUE(near(image.pixelColor(99, 49), PNColor::brandGradientEnd()));
    const QColor middle = image.pixelColor(50, 25);
    EXPECT_TRUE(near(middle, QColor((0x60 + 0xCD) / 2, (0xB2 + 0xFD) / 2, (0x97 + 0xED) / 2)));
}
