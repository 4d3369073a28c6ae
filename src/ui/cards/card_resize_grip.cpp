#include "ui/cards/card_resize_grip.hpp"

#include <QMouseEvent>
#include <QWindow>
#include <algorithm>

namespace pennial {

namespace {

Qt::CursorShape cursorFor(Qt::Edges edges) {
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical)
        return (edges == (Qt::TopEdge | Qt::LeftEdge) || edges == (Qt::BottomEdge | Qt::RightEdge))
                   ? Qt::SizeFDiagCursor
                   : Qt::SizeBDiagCursor;
    return horizontal ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

} // namespace

CardResizeGrip::CardResizeGrip(Qt::Edges edges, QWidget* window) : QWidget(window), edges_(edges) {
    setObjectName("CardResizeGrip");
    setCursor(cursorFor(edges));
}

QRect CardResizeGrip::placement(QSize size) const {
    const int t = thickness;
    const int left = (edges_ & Qt::LeftEdge) ? 0 : (edges_ & Qt::RightEdge) ? size.width() - t : t;
    const int top = (edges_ & Qt::TopEdge) ? 0 : (edges_ & Qt::BottomEdge) ? size.height() - t : t;
    const int width = (edges_ & (Qt::LeftEdge | Qt::RightEdge)) ? t : size.width() - 2 * t;
    const int height = (edges_ & (Qt::TopEdge | Qt::BottomEdge)) ? t : size.height() - 2 * t;
    return {left, top, width, height};
}

void CardResizeGrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    QWidget* window = this->window();
    if (auto* handle = window->windowHandle(); handle && handle->startSystemResize(edges_))
        return;
    following_ = true;
    pressPosition_ = event->globalPosition().toPoint();
    startGeometry_ = window->geometry();
}

void CardResizeGrip::mouseMoveEvent(QMouseEvent* event) {
    if (!following_)
        return QWidget::mouseMoveEvent(event);
    QWidget* window = this->window();
    const QPoint delta = event->globalPosition().toPoint() - pressPosition_;
    const QSize minimum = window->minimumSize();
    const QSize maximum = window->maximumSize();
    QRect geometry = startGeometry_;
    auto clampWidth = [&](int w) { return std::clamp(w, minimum.width(), maximum.width()); };
    auto clampHeight = [&](int h) { return std::clamp(h, minimum.height(), maximum.height()); };
    if (edges_ & Qt::RightEdge)
        geometry.setWidth(clampWidth(startGeometry_.width() + delta.x()));
    if (edges_ & Qt::BottomEdge)
        geometry.setHeight(clampHeight(startGeometry_.height() + delta.y()));
    if (edges_ & Qt::LeftEdge)
        geometry.setLeft(startGeometry_.right() + 1 -
                         clampWidth(startGeometry_.width() - delta.x()));
    if (edges_ & Qt::TopEdge)
        geometry.setTop(startGeometry_.bottom() + 1 -
                        clampHeight(startGeometry_.height() - delta.y()));
    window->setGeometry(geometry);
}

void CardResizeGrip::mouseReleaseEvent(QMouseEvent* event) {
    following_ = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace pennial
