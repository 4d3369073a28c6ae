#pragma once
// A line edit that reports when it gains and loses the keyboard focus for editing.

#include <QLineEdit>
#include <functional>

namespace pennial {

class FocusTrackingTextField : public QLineEdit {
public:
    using QLineEdit::QLineEdit;

    // Called with true on focus in, false on focus out; unset by default.
    std::function<void(bool)> onFocusChanged;

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

} // namespace pennial
