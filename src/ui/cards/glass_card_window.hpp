#pragma once
// The dark card window: frameless, its content filling the whole window inside a rounded
// container (the design's large radius), a title strip with the window buttons laid over the
// content's top, dragged by its background, resized from its edges when resizable. A window held
// smaller than its content's minimum (on a small screen) scrolls the content. It asks its owner
// before closing and tells it when it closes and when it gains or loses keyboard focus.

#include <QColor>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QScrollArea;

namespace pennial {

class CardResizeGrip;
class CardTitleBar;

class GlassCardWindow : public QWidget {
public:
    struct Events {
        std::function<bool()> shouldClose; // asked on every close request; empty allows
        std::function<void(GlassCardWindow&)> willClose; // the close goes ahead
        std::function<void(bool isKey)> keyChanged;
    };

    GlassCardWindow(bool resizable, QColor background, Events events);
    ~GlassCardWindow() override;

    // Puts the root view in the container, pinned to its four edges; the window owns it. None
    // leaves the card empty.
    void setContent(std::unique_ptr<QWidget> content);
    QWidget* content() const { return content_; }
    QScrollArea* scroller() const { return scroller_; }
    CardTitleBar* titleBar() const { return titleBar_; }
    QColor background() const { return background_; }
    bool isResizable() const { return !grips_.empty(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void layoutChildren();

    QColor background_;
    Events events_;
    QScrollArea* scroller_;
    QWidget* content_ = nullptr;
    CardTitleBar* titleBar_;
    std::vector<CardResizeGrip*> grips_;
    bool dragging_ = false;
    QPoint dragOffset_;
};

} // namespace pennial
