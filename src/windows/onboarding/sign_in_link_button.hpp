#pragma once
// The sign-in screen's text buttons: only the title, in the body brand font and a colour of their
// own, optionally underlined; dimmed while disabled.

#include <QAbstractButton>

namespace pennial {

class SignInLinkButton : public QAbstractButton {
public:
    SignInLinkButton(const QString& title, QColor color, bool underlined,
                     QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
};

} // namespace pennial
