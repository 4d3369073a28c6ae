#pragma once
// Font tokens: every view takes its type from these. Sizes are device-independent pixels.
// The brand families ("Sora", "Inter") come from PNFonts::registerCustomFonts().

#include <QFont>

namespace pennial {

struct PNTypography {
    PNTypography() = delete;

    static const QFont& caption();      // system 11, semibold
    static const QFont& body();         // system 13, regular
    static const QFont& bodySemibold(); // system 13, semibold
    static const QFont& heading();      // system 16, semibold
    static const QFont& title();        // system 22, bold
    static const QFont& captionSmall(); // system 10, medium
    static const QFont& label();        // system 12, medium
    static const QFont& labelRegular(); // system 12, regular
    static const QFont& labelBold();    // system 12, bold
    static const QFont& monoLarge();    // system monospaced 22, medium

    static const QFont& headingBrand();    // "Sora" 28, bold
    static const QFont& titleBrand();      // "Sora" 34, bold
    static const QFont& bodyBrand();       // "Inter" 14, regular
    static const QFont& bodyBrandMedium(); // "Inter" 14, medium

    // A brand family at any size and weight, for the few views that ask for one directly.
    static QFont brand(const QString& family, int pixelSize, QFont::Weight weight);
};

} // namespace pennial
