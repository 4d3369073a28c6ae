#include "ui/design/focus_tracking_text_field.hpp"

#include <QFocusEvent>

namespace pennial {

void FocusTrackingTextField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (onFocusChanged)
        onFocusChanged(true);
}

void FocusTrackingTextField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // The field stays the one being edited while its window is in the background or a context
    // menu is open; only a real move of the focus ends the editing.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (onFocusChanged)
        onFocusChanged(false);
}

} // namespace pennial
