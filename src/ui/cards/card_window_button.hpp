#pragma once
// One of the card window's title-bar buttons (close, minimise, zoom): a small faint disc with its
// symbol (×, –, +), which brightens under the pointer. Its accessible name and tooltip say what a
// press does.

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
    // The zoom button restores a maximised window; its name follows.
    void setRestores(bool restores);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void describe(const QString& action);

    CardWindowButtonKind kind_;
};

} // namespace pennial
