#include "windows/onboarding/brand_header.hpp"

#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <cmath>

namespace pennial {

// The application's icon, stretched to a square of the header's icon size.
class BrandHeader::Icon : public QWidget {
public:
    explicit Icon(QWidget* parent) : QWidget(parent) {}

    void setSide(qreal side) {
        const int pixels = static_cast<int>(std::round(side));
        setFixedSize(pixels, pixels);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        const QIcon icon = QGuiApplication::windowIcon();
        if (icon.isNull())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        icon.paint(&painter, rect());
    }
};

BrandHeader::BrandHeader(QWidget* parent)
    : QWidget(parent), icon_(new Icon(this)), name_(new QLabel(QStringLiteral("Pennial"), this)),
      nameOpacity_(new QGraphicsOpacityEffect(name_)) {
    setObjectName(QStringLiteral("BrandHeader"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(static_cast<int>(PNSpacing::sm));
    row->addWidget(icon_, 0, Qt::AlignVCenter);
    row->addWidget(name_, 0, Qt::AlignVCenter);
    // No icon, no room for one.
    icon_->setVisible(!QGuiApplication::windowIcon().isNull());

    name_->setFont(PNTypography::bodyBrandMedium());
    QPalette palette = name_->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    name_->setPalette(palette);
    name_->setGraphicsEffect(nameOpacity_);
    // Transparent to the mouse: the screens' own controls may lie beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BrandHeader::setIconSize(qreal size) {
    iconSize_ = size;
    icon_->setSide(size);
    adjustSize();
}

qreal BrandHeader::nameOpacity() const {
    return nameOpacity_->opacity();
}

void BrandHeader::setNameOpacity(qreal opacity) {
    nameOpacity_->setOpacity(opacity);
}

} // namespace pennial
