#include "ui/media/app_icon_view.hpp"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace pennial {

QStringList AppIconView::defaultSources() {
    return {QStringLiteral(":/media/AppIcon.svg")};
}

AppIconView::Image AppIconView::loadIcon(const QStringList& sources) {
    for (const QString& source : sources) {
        if (!QFile::exists(source))
            continue;
        auto renderer = std::make_shared<QSvgRenderer>(source);
        if (renderer->isValid()) {
            // Stretched to the square, whatever the artwork's own proportions.
            renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
            return renderer;
        }
    }
    return nullptr;
}

QImage AppIconView::render(int side, const QStringList& sources) {
    const Image image = loadIcon(sources);
    if (!image || side <= 0)
        return {};
    QImage result(side, side, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    image->render(&painter, QRectF(0, 0, side, side));
    return result;
}

AppIconView::AppIconView(qreal size, QWidget* parent, const QStringList& sources)
    : QWidget(parent), size_(size), image_(loadIcon(sources)) {
    setObjectName(QStringLiteral("AppIconView"));
    // A view with no icon leaves no gap in a layout.
    if (!image_)
        hide();
    applySize();
}

AppIconView::~AppIconView() = default;

void AppIconView::setSize(qreal size) {
    size_ = size;
    applySize();
}

void AppIconView::applySize() {
    const int side = image_ ? static_cast<int>(std::round(std::max<qreal>(size_, 0))) : 0;
    setFixedSize(side, side);
    updateGeometry();
    update();
}

QSize AppIconView::sizeHint() const {
    const int side = image_ ? static_cast<int>(std::round(std::max<qreal>(size_, 0))) : 0;
    return {side, side};
}

void AppIconView::paintEvent(QPaintEvent*) {
    if (!image_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Drawn from the vector artwork at the square's own size: sharp at every side.
    const qreal side = std::min(width(), height());
    image_->render(&painter, QRectF((width() - side) / 2, (height() - side) / 2, side, side));
}

} // namespace pennial
