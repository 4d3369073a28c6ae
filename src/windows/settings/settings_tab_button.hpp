#pragma once
// One tab of the settings window's tab bar: its title, brighter while selected, with the accent
// bar on the tab bar's lower edge under the selected one. Checked while selected, so assistive
// technology reads the selection.

#include <QAbstractButton>

namespace pennial {

class SettingsTabButton : public QAbstractButton {
public:
    SettingsTabButton(const QString& title, QWidget* parent = nullptr);

    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    QColor titleColor() const;
    // Where the accent bar lies; empty while not selected.
    QRect selectionMark() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize labelSize() const;
};

} // namespace pennial
