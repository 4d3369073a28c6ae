#include "ui/design/pn_error_text.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_typography.hpp"

namespace pennial {

PNErrorText::PNErrorText(std::optional<QString> message, QWidget* parent) : QLabel(parent) {
    setFont(PNTypography::caption());
    setWordWrap(true);
    setTextFormat(Qt::PlainText); // messages can carry a server's words, never markup to render
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, PNColor::error());
    setPalette(palette);
    setMessage(std::move(message));
}

void PNErrorText::setMessage(std::optional<QString> message) {
    message_ = std::move(message);
    setText(message_.value_or(QString()));
    // A hidden widget takes no room in its layout.
    setHidden(!message_);
    updateGeometry();
}

QSize PNErrorText::sizeHint() const {
    return QLabel::sizeHint().expandedTo(QSize(0, fontMetrics().height()));
}

QSize PNErrorText::minimumSizeHint() const {
    return QLabel::minimumSizeHint().expandedTo(QSize(0, fontMetrics().height()));
}

} // namespace pennial
