#pragma once
// The small brand mark of the onboarding window: the application's icon and its name, drawn near
// the top centre on the welcome screen and in the top-left corner on every other.

#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;

namespace pennial {

class BrandHeader : public QWidget {
public:
    explicit BrandHeader(QWidget* parent = nullptr);

    // The icon's side; nothing is drawn when the application has no icon.
    qreal iconSize() const { return iconSize_; }
    void setIconSize(qreal size);
    qreal nameOpacity() const;
    void setNameOpacity(qreal opacity);

private:
    class Icon;

    qreal iconSize_ = 0;
    Icon* icon_;
    QLabel* name_;
    QGraphicsOpacityEffect* nameOpacity_;
};

} // namespace pennial
