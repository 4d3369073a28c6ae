#include "ui/cards/glass_card_window.hpp"

#include "ui/cards/card_resize_grip.hpp"
#include "ui/cards/card_title_bar.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_scroll_indicator.hpp"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QScrollArea>
#include <QWindow>

namespace pennial {

namespace {

// Standard controls inside the card take the dark look.
QPalette darkPalette(QPalette palette, QColor background) {
    const QColor text = PNColor::textPrimary();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, QColor(28, 28, 30));
    palette.setColor(QPalette::AlternateBase, QColor(38, 38, 40));
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, QColor(44, 44, 46));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::PlaceholderText, PNColor::textTertiary());
    palette.setColor(QPalette::Highlight, PNColor::accent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

QPainterPath containerShape(const QRectF& rect) {
    QPainterPath path;
    path.addRoundedRect(rect, PNRadius::large, PNRadius::large);
    return path;
}

} // namespace

GlassCardWindow::GlassCardWindow(bool resizable, QColor background, Events events)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), background_(background),
      events_(std::move(events)), scroller_(new QScrollArea(this)),
      titleBar_(new CardTitleBar(resizable, this)) {
    setObjectName("GlassCardWindow");
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(darkPalette(palette(), background));
    // Invisible while the content fits: no frame, no fill, no stop in the focus chain.
    scroller_->setObjectName("GlassCardScroller");
    scroller_->setFrameShape(QFrame::NoFrame);
    scroller_->setWidgetResizable(true);
    scroller_->setFocusPolicy(Qt::NoFocus);
    scroller_->setAutoFillBackground(false);
    scroller_->viewport()->setAutoFillBackground(false);
    PNScrollIndicator::apply(*scroller_, static_cast<int>(PNRadius::large));
    if (resizable) {
        for (Qt::Edges edges :
             {Qt::Edges(Qt::LeftEdge), Qt::Edges(Qt::RightEdge), Qt::Edges(Qt::TopEdge),
              Qt::Edges(Qt::BottomEdge), Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge | Qt::RightEdge,
              Qt::BottomEdge | Qt::LeftEdge, Qt::BottomEdge | Qt::RightEdge})
            grips_.push_back(new CardResizeGrip(edges, this));
    }
}

GlassCardWindow::~GlassCardWindow() = default;

void GlassCardWindow::setContent(std::unique_ptr<QWidget> content) {
    delete scroller_->takeWidget();
    content_ = content.release();
    if (content_) {
        // The scroller would paint the content's background; the content decides.
        const bool fills = content_->autoFillBackground();
        scroller_->setWidget(content_);
        content_->setAutoFillBackground(fills);
    }
    layoutChildren();
}

void GlassCardWindow::layoutChildren() {
    scroller_->setGeometry(rect());
    // The content, and the scroll bars when shown, are clipped to the container's corners.
    scroller_->setMask(QRegion(containerShape(QRectF(rect())).toFillPolygon().toPolygon()));
    scroller_->lower();
    titleBar_->setGeometry(0, 0, width(), CardTitleBar::height);
    titleBar_->raise();
    for (auto* grip : grips_) {
        grip->setGeometry(grip->placement(size()));
        grip->raise();
    }
}

void GlassCardWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(containerShape(QRectF(rect())), background_);
}

void GlassCardWindow::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void GlassCardWindow::closeEvent(QCloseEvent* event) {
    if (events_.shouldClose && !events_.shouldClose()) {
        event->ignore();
        return;
    }
    event->accept();
    if (events_.willClose)
        events_.willClose(*this);
}

void GlassCardWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && events_.keyChanged)
        events_.keyChanged(isActiveWindow());
    QWidget::changeEvent(event);
}

void GlassCardWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    if (auto* handle = windowHandle(); handle && handle->startSystemMove())
        return;
    // Where the window manager cannot take over, the window follows the pointer itself.
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void GlassCardWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - dragOffset_);
}

void GlassCardWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

} // namespace pennial
