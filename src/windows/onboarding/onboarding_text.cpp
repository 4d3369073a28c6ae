#include "windows/onboarding/onboarding_text.hpp"

#include "ui/design/pn_color.hpp"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>
#include <cmath>
#include <limits>

namespace pennial {

OnboardingText::OnboardingText(QString text, const QFont& font, QWidget* parent)
    : QWidget(parent), text_(std::move(text)) {
    setFont(font);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void OnboardingText::setText(QString text) {
    if (text == text_)
        return;
    text_ = std::move(text);
    updateGeometry();
    update();
}

void OnboardingText::setGradientFill(bool gradient) {
    gradient_ = gradient;
    update();
}

void OnboardingText::setColor(const QColor& color) {
    color_ = color;
    update();
}

void OnboardingText::setAlignment(Qt::Alignment alignment) {
    alignment_ = alignment;
    update();
}

void OnboardingText::setLineSpacing(qreal spacing) {
    lineSpacing_ = spacing;
    updateGeometry();
    update();
}

// Explicit line breaks always break; each paragraph then wraps at word boundaries.
std::vector<OnboardingText::Line> OnboardingText::lines(qreal width) const {
    std::vector<Line> result;
    const QFontMetricsF metrics(font());
    for (const QString& paragraph : text_.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WordWrap);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            const QString piece = paragraph.mid(line.textStart(), line.textLength()).trimmed();
            result.push_back({piece, metrics.horizontalAdvance(piece)});
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            result.push_back({QString(), 0});
    }
    return result;
}

qreal OnboardingText::blockHeight(std::size_t lineCount) const {
    if (lineCount == 0)
        return 0;
    const QFontMetricsF metrics(font());
    return lineCount * metrics.height() + (lineCount - 1) * lineSpacing_;
}

qreal OnboardingText::lineX(qreal lineWidth) const {
    if (alignment_ & Qt::AlignHCenter)
        return (width() - lineWidth) / 2;
    if (alignment_ & Qt::AlignRight)
        return width() - lineWidth;
    return 0;
}

int OnboardingText::heightForWidth(int width) const {
    return static_cast<int>(std::ceil(blockHeight(lines(width).size())));
}

QSize OnboardingText::sizeHint() const {
    const auto unwrapped = lines(std::numeric_limits<int>::max() / 4);
    qreal width = 0;
    for (const auto& line : unwrapped)
        width = std::max(width, line.width);
    return QSize(static_cast<int>(std::ceil(width)),
                 static_cast<int>(std::ceil(blockHeight(unwrapped.size()))));
}

QSize OnboardingText::minimumSizeHint() const {
    return QSize(0, heightForWidth(width() > 0 ? width() : sizeHint().width()));
}

void OnboardingText::paintEvent(QPaintEvent*) {
    const auto laidOut = lines(width());
    const QFontMetricsF metrics(font());
    const qreal height = blockHeight(laidOut.size());
    qreal top = 0;
    if (alignment_ & Qt::AlignVCenter)
        top = (this->height() - height) / 2;

    // The bounds the text itself covers, so the gradient spans the words, not the widget.
    QRectF bounds;
    for (std::size_t i = 0; i < laidOut.size(); ++i) {
        bounds |= QRectF(lineX(laidOut[i].width), top + i * (metrics.height() + lineSpacing_),
                         laidOut[i].width, metrics.height());
    }

    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font());
    if (gradient_)
        painter.setPen(QPen(QBrush(PNColor::brandGradient(bounds)), 0));
    else
        painter.setPen(color_);
    for (std::size_t i = 0; i < laidOut.size(); ++i) {
        const qreal x = lineX(laidOut[i].width);
        const qreal y = top + i * (metrics.height() + lineSpacing_) + metrics.ascent();
        painter.drawText(QPointF(x, y), laidOut[i].text);
    }
}

} // namespace pennial
