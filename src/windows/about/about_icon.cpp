#include "windows/about/about_icon.hpp"

#include "ui/design/pn_color.hpp"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

namespace pennial {

AboutIcon::AboutIcon(QWidget* parent)
    : QWidget(parent),
      image_(std::make_unique<QSvgRenderer>(QStringLiteral(":/about/PennialMenuBarIcon.svg"))) {
    setObjectName(QStringLiteral("AboutIcon"));
    setFixedSize(side, side);
    // Scaled to fit: the drawing keeps its proportions inside the square.
    image_->setAspectRatioMode(Qt::KeepAspectRatio);
}

AboutIcon::~AboutIcon() = default;

bool AboutIcon::hasImage() const {
    return image_->isValid();
}

void AboutIcon::paintEvent(QPaintEvent*) {
    if (!image_->isValid())
        return;
    const qreal scale = devicePixelRatioF();
    QImage mask(size() * scale, QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(scale);
    mask.fill(Qt::transparent);
    {
        QPainter drawing(&mask);
        drawing.setRenderHint(QPainter::Antialiasing);
        image_->render(&drawing, QRectF(rect()));
        // The drawing's shape in the accent colour, whatever colours it was drawn in.
        drawing.setCompositionMode(QPainter::CompositionMode_SourceIn);
        drawing.fillRect(rect(), PNColor::accent());
    }
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), mask);
}

} // namespace pennial
