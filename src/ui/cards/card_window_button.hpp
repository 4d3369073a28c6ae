#pragma once
// One of the card window's title-bar buttons (close, minimise, zoom): a small faint disc that
// shows its glyph under the pointer.

#include <QAbstractButton>

namespace pennial {

enum class CardWindowButtonKind {
    close,
    minimize,
    zoom,
};

class CardWindowButton : public QAbstractButton {
public:
    static constexpr int diameter = 14;

    CardWindowButton(CardWindowButtonKind kind, QWidget* parent);

    CardWindowButtonKind kind() const { return kind_; }
    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CardWindowButtonKind kind_;
};

} // namespace pennial
