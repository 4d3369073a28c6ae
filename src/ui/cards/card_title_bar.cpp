#include "ui/cards/card_title_bar.hpp"

#include "ui/cards/card_window_button.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/overlay/palette_logo.hpp"

#include <QEvent>
#include <QPainter>

namespace pennial {

namespace {

constexpr int buttonGap = 8;
constexpr int edgeMargin = 10;

// The wordmark as a template image: its shape in white at half opacity, scaled down to fit and
// never up.
class CardTitleLogo : public QWidget {
public:
    explicit CardTitleLogo(QWidget* parent) : QWidget(parent) {
        setObjectName("CardTitleLogo");
        setFixedSize(CardTitleBar::logoSize);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        static const QImage tinted = [] {
            QImage image = PaletteLogo::pennialLogo().copy();
            QPainter tint(&image);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(image.rect(), PNColor::withOpacity(Qt::white, 0.5));
            return image;
        }();
        if (tinted.isNull())
            return;
        QSizeF size = tinted.size();
        if (size.width() > width() || size.height() > height())
            size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2),
                            size);
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, tinted);
    }
};

} // namespace

CardTitleBar::CardTitleBar(bool resizable, QWidget* window)
    : QWidget(window), close_(new CardWindowButton(CardWindowButtonKind::close, this)),
      minimize_(new CardWindowButton(CardWindowButtonKind::minimize, this)),
      zoom_(new CardWindowButton(CardWindowButtonKind::zoom, this)) {
    setObjectName("CardTitleBar");
    setFixedHeight(height);
    zoom_->setEnabled(resizable);
    connect(close_, &QAbstractButton::clicked, window, [window] { window->close(); });
    connect(minimize_, &QAbstractButton::clicked, window, [window] { window->showMinimized(); });
    connect(zoom_, &QAbstractButton::clicked, window, [window] {
        if (window->isMaximized())
            window->showNormal();
        else
            window->showMaximized();
    });
    // The window manager may maximise or restore the window too.
    window->installEventFilter(this);
}

bool CardTitleBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowStateChange && watched == parentWidget())
        zoom_->setRestores(parentWidget()->isMaximized());
    return QWidget::eventFilter(watched, event);
}

void CardTitleBar::setButtonsHidden(bool hidden) {
    for (auto* button : {close_, minimize_, zoom_})
        button->setVisible(!hidden);
}

void CardTitleBar::showLogo() {
    if (logo_)
        return;
    logo_ = new CardTitleLogo(this);
    logo_->show();
    layoutChildren();
}

void CardTitleBar::resizeEvent(QResizeEvent*) {
    layoutChildren();
}

void CardTitleBar::layoutChildren() {
    // Close outermost on the right, as on the desktops this runs on.
    const int top = (height - CardWindowButton::diameter) / 2;
    int x = width() - edgeMargin - CardWindowButton::diameter;
    for (auto* button : {close_, zoom_, minimize_}) {
        button->move(x, top);
        x -= CardWindowButton::diameter + buttonGap;
    }
    if (logo_)
        logo_->move((width() - logoSize.width()) / 2, (height - logoSize.height()) / 2);
}

} // namespace pennial
