#include "ui/design/pn_error_text.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_typography.hpp"

namespace pennial {

namespace {

// A message is a line or two: a proxy's error page or a runaway server text is cut here.
constexpr qsizetype maxShownCharacters = 200;

QString shownText(const QString& message) {
    // Line breaks and runs of spaces (an HTML page's layout) would only stretch the line.
    QString text = message.simplified();
    if (text.size() > maxShownCharacters) {
        qsizetype cut = maxShownCharacters - 1;
        if (text[cut - 1].isHighSurrogate())
            --cut;
        text = text.left(cut) + QChar(0x2026);
    }
    return text;
}

} // namespace

PNErrorText::PNErrorText(std::optional<QString> message, QWidget* parent) : QLabel(parent) {
    // Messages come from servers and users: never read them as markup.
    setTextFormat(Qt::PlainText);
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
    const QString full = message_.value_or(QString());
    const QString shown = shownText(full);
    setText(shown);
    setToolTip(shown == full.simplified() ? QString() : full);
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
