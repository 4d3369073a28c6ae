#pragma once
// The strip along the top of a card window: the close, minimise and zoom buttons and, on request,
// the product's wordmark in its middle. It draws no background; presses on its empty parts reach
// the window, which moves on a drag.

#include <QWidget>

namespace pennial {

class CardWindowButton;

class CardTitleBar : public QWidget {
public:
    static constexpr int height = 28;
    static constexpr QSize logoSize{66, 13};

    // The zoom button works only on a resizable window.
    CardTitleBar(bool resizable, QWidget* window);

    void setButtonsHidden(bool hidden);
    // Adds the wordmark, centred; the first call only.
    void showLogo();

    CardWindowButton* closeButton() const { return close_; }
    CardWindowButton* minimizeButton() const { return minimize_; }
    CardWindowButton* zoomButton() const { return zoom_; }
    QWidget* logo() const { return logo_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layoutChildren();

    CardWindowButton* close_;
    CardWindowButton* minimize_;
    CardWindowButton* zoom_;
    QWidget* logo_ = nullptr;
};

} // namespace pennial
