#pragma once
// Colour tokens. Every surface of the application is dark (the palette card, the code panel, the
// card windows), so the label colours are the light-on-dark ones.

#include <QColor>
#include <QLinearGradient>
#include <QRectF>
#include <QString>

namespace pennial {

struct PNColor {
    PNColor() = delete;

    static QColor textPrimary();
    static QColor textSecondary();
    static QColor textTertiary(); // textPrimary at opacity 0.4
    static QColor accent();
    static QColor error();
    static QColor success();
    static QColor cardBorder();            // black at 0.2
    static QColor cardInnerBorder();       // white at 0.32
    static QColor rowBackground();         // textPrimary at 0.04
    static QColor rowBackgroundSelected(); // textPrimary at 0.12
    static QColor badgeBackground();       // error at 0.12
    static QColor brand();                 // #00DA93
    static QColor brandGradientStart();    // #60B297
    static QColor brandGradientEnd();      // #CDFDED
    static QColor onboardingBg();          // black

    // brandGradientStart to brandGradientEnd, from the top-leading to the bottom-trailing corner
    // of `rect`, the area it fills.
    static QLinearGradient brandGradient(const QRectF& rect);

    // The colour with its alpha multiplied by `opacity`.
    static QColor withOpacity(QColor color, qreal opacity);
    // The colour as a style sheet writes it: "rgba(r,g,b,a)".
    static QString styleSheetColor(const QColor& color);
};

} // namespace pennial
