#pragma once
// A frameless panel above the desktop's panels that shows without taking the keyboard, but becomes
// the focused window as soon as the user clicks into it, so that a field in it can take keystrokes
// without the application raising any of its other windows.

#include <QWidget>

namespace pennial {

class KeyablePanel : public QWidget {
public:
    KeyablePanel();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool watchingPresses_ = false;
};

} // namespace pennial
