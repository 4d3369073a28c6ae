#pragma once
// A block of text as the onboarding screens set their titles and subtitles: wrapped to the width
// it is given, aligned, with extra space between lines, painted in a colour or in the brand
// gradient spread over the text's own bounds.

#include <QWidget>
#include <optional>

namespace pennial {

class OnboardingText : public QWidget {
public:
    OnboardingText(QString text, const QFont& font, QWidget* parent = nullptr);

    void setText(QString text);
    // The brand gradient instead of the solid colour.
    void setGradientFill(bool gradient);
    void setColor(const QColor& color);
    void setAlignment(Qt::Alignment alignment);
    // Extra space between two lines, in pixels.
    void setLineSpacing(qreal spacing);

    const QString& text() const { return text_; }
    bool hasGradientFill() const { return gradient_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Line {
        QString text;
        qreal width;
    };
    std::vector<Line> lines(qreal width) const;
    qreal blockHeight(std::size_t lineCount) const;
    qreal lineX(qreal lineWidth) const;

    QString text_;
    QColor color_ = Qt::white;
    bool gradient_ = false;
    Qt::Alignment alignment_ = Qt::AlignLeft;
    qreal lineSpacing_ = 0;
};

} // namespace pennial
