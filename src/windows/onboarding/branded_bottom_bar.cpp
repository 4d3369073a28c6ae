#include "windows/onboarding/branded_bottom_bar.hpp"

#include "ui/design/pn_brand_button_style.hpp"
#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_step_indicator.hpp"
#include "ui/design/pn_typography.hpp"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>

namespace pennial {

namespace {

// A button that is only its title: no bezel, no background.
class PlainTextButton : public QAbstractButton {
public:
    PlainTextButton(const QString& title, const QFont& font, QColor color, QWidget* parent)
        : QAbstractButton(parent), color_(color) {
        setText(title);
        setFont(font);
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override { return fontMetrics().size(Qt::TextSingleLine, text()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(color_);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }

private:
    QColor color_;
};

} // namespace

BrandedBottomBar::BrandedBottomBar(int step, const QString& buttonLabel, bool disabled,
                                   std::optional<QString> skipLabel,
                                   std::function<void()> skipAction, std::function<void()> action,
                                   QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("BrandedBottomBar"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(static_cast<int>(PNSpacing::xl), 0, static_cast<int>(PNSpacing::xl),
                            static_cast<int>(PNSpacing::lg));

    stepIndicator_ = new PNStepIndicator(totalSteps, step, this);
    row->addWidget(stepIndicator_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    if (skipLabel && skipAction) {
        skipLink_ = new PlainTextButton(*skipLabel, PNTypography::bodyBrand(),
                                        PNColor::withOpacity(Qt::white, 0.5), this);
        skipLink_->setObjectName(QStringLiteral("SkipLink"));
        connect(skipLink_, &QAbstractButton::clicked, this,
                [skipAction = std::move(skipAction)] { skipAction(); });
        row->addWidget(skipLink_, 0, Qt::AlignVCenter);
    }

    primaryButton_ = new QPushButton(buttonLabel, this);
    primaryButton_->setObjectName(QStringLiteral("PrimaryButton"));
    PNBrandButtonStyle::apply(primaryButton_);
    primaryButton_->setEnabled(!disabled);
    primaryButton_->setCursor(Qt::PointingHandCursor);
    connect(primaryButton_, &QPushButton::clicked, this, [action = std::move(action)] {
        if (action)
            action();
    });
    row->addWidget(primaryButton_, 0, Qt::AlignVCenter);
}

} // namespace pennial
