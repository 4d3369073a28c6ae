#include "ui/overlay/palette_logo.hpp"

#include "ui/design/pn_color.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>
#include <cmath>

namespace pennial {

namespace {

// A monoline wordmark on a 304 by 63 box.
constexpr char logoSvg[] = R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="304" height="63"
 viewBox="0 0 304 63"><g fill="none" stroke="#fff" stroke-width="8" stroke-linecap="round"
 stroke-linejoin="round" transform="translate(36 0)">
<path d="M8 17V59M8 31a14 14 0 1 1 0 1"/>
<path d="M49 31H77A14 14 0 1 0 73 41"/>
<path d="M92 46V17M92 31A14 14 0 0 1 120 31V46"/>
<path d="M135 46V17M135 31A14 14 0 0 1 163 31V46"/>
<path d="M179 46V18"/>
<path d="M222 17V46M222 31a14 14 0 1 0 0 1"/>
<path d="M237 4V46"/></g>
<circle cx="215" cy="6" r="5" fill="#fff"/></svg>)svg";

constexpr double aspect = 304.0 / 63.0;
// Drawn at twice the size it is shown, so it stays sharp on dense screens.
constexpr int renderScale = 2;

QImage renderArtwork() {
    QSvgRenderer renderer(QByteArray::fromRawData(logoSvg, sizeof logoSvg - 1));
    if (!renderer.isValid())
        return {};
    const int height = PaletteLogo::logoHeight * renderScale;
    QImage image(QSize(static_cast<int>(std::ceil(height * aspect)), height),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// The stand-in: a rounded square, the generic application glyph.
QImage fallbackGlyph() {
    const int side = PaletteLogo::logoHeight * renderScale;
    QImage image(QSize(side, side), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath glyph;
    glyph.addRoundedRect(QRectF(1, 1, side - 2, side - 2), side / 4.0, side / 4.0);
    painter.fillPath(glyph, Qt::white);
    return image;
}

} // namespace

bool PaletteLogo::isArtworkReadable() {
    static const bool readable = !renderArtwork().isNull();
    return readable;
}

const QImage& PaletteLogo::pennialLogo() {
    static const QImage logo = [] {
        QImage artwork = renderArtwork();
        return artwork.isNull() ? fallbackGlyph() : artwork;
    }();
    return logo;
}

PaletteLogo::PaletteLogo(QWidget* parent) : QWidget(parent) {
    setObjectName("PaletteLogo");
    setFixedHeight(logoHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PaletteLogo::paintEvent(QPaintEvent*) {
    // A template image: the artwork's shape in the card's foreground colour, tinted once.
    static const QImage tinted = [] {
        QImage image = pennialLogo().copy();
        QPainter tint(&image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(image.rect(), PNColor::textPrimary());
        return image;
    }();
    const QSizeF size(tinted.width() / static_cast<double>(renderScale),
                      tinted.height() / static_cast<double>(renderScale));
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                        size);
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setOpacity(0.35);
    painter.drawImage(target, tinted);
}

} // namespace pennial
