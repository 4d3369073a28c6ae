#pragma once
// An invisible strip along one edge or corner of a frameless resizable window: pressing it hands
// the resize to the window manager, or follows the pointer where the platform cannot.

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace pennial {

class CardResizeGrip : public QWidget {
public:
    static constexpr int thickness = 6;

    CardResizeGrip(Qt::Edges edges, QWidget* window);

    Qt::Edges edges() const { return edges_; }
    // Where the grip sits in a window of `size`.
    QRect placement(QSize size) const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Edges edges_;
    bool following_ = false;
    QPoint pressPosition_;
    QRect startGeometry_;
};

} // namespace pennial
