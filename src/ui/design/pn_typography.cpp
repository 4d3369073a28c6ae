#include "ui/design/pn_typography.hpp"

#include <QFontDatabase>

namespace pennial {

namespace {

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont monospacedSystemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

} // namespace

QFont PNTypography::brand(const QString& family, int pixelSize, QFont::Weight weight) {
    QFont font(family);
    // Without the registered family, fall back to the ordinary sans-serif face.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

// Each token is built once, on first use, and shared for the whole run.
#define PN_FONT_TOKEN(name, expression)                                                            \
    const QFont& PNTypography::name() {                                                            \
        static const QFont font = expression;                                                      \
        return font;                                                                               \
    }

PN_FONT_TOKEN(caption, systemFont(11, QFont::DemiBold))
PN_FONT_TOKEN(body, systemFont(13, QFont::Normal))
PN_FONT_TOKEN(bodySemibold, systemFont(13, QFont::DemiBold))
PN_FONT_TOKEN(heading, systemFont(16, QFont::DemiBold))
PN_FONT_TOKEN(title, systemFont(22, QFont::Bold))
PN_FONT_TOKEN(captionSmall, systemFont(10, QFont::Medium))
PN_FONT_TOKEN(label, systemFont(12, QFont::Medium))
PN_FONT_TOKEN(labelRegular, systemFont(12, QFont::Normal))
PN_FONT_TOKEN(labelBold, systemFont(12, QFont::Bold))
PN_FONT_TOKEN(monoLarge, monospacedSystemFont(22, QFont::Medium))
PN_FONT_TOKEN(headingBrand, brand(QStringLiteral("Sora"), 28, QFont::Bold))
PN_FONT_TOKEN(titleBrand, brand(QStringLiteral("Sora"), 34, QFont::Bold))
PN_FONT_TOKEN(bodyBrand, brand(QStringLiteral("Inter"), 14, QFont::Normal))
PN_FONT_TOKEN(bodyBrandMedium, brand(QStringLiteral("Inter"), 14, QFont::Medium))

#undef PN_FONT_TOKEN

} // namespace pennial
