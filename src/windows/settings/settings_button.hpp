#pragma once
// The push buttons of the settings tabs: "prominent" filled with the accent colour for the main
// action, "bordered" on a faint fill for the secondary one. Drawn here, so they look the same on
// every desktop theme.

#include <QAbstractButton>

namespace pennial {

class SettingsButton : public QAbstractButton {
public:
    enum class Kind { prominent, bordered };

    SettingsButton(const QString& title, Kind kind, QWidget* parent = nullptr);

    Kind kind() const { return kind_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind kind_;
};

} // namespace pennial
