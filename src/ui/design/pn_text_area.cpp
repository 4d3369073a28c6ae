#include "ui/design/pn_text_area.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTextDocument>
#include <QTextEdit>
#include <QVBoxLayout>

namespace pennial {

namespace {

// The editor's text starts this far in from the box's padding; the placeholder lines up with it.
constexpr qreal textIndent = 5;
constexpr qreal placeholderExtraTop = 1;
constexpr qreal borderWidth = 0.5;

// The editor without frame or margins of its own; its text starts textIndent in.
class Editor : public QTextEdit {
public:
    explicit Editor(QWidget* parent) : QTextEdit(parent) {
        document()->setDocumentMargin(0);
        setViewportMargins(static_cast<int>(textIndent), 0, static_cast<int>(textIndent), 0);
    }
};

} // namespace

// The editing box: row background clipped to the rounded outline, a thin border over it.
class PNTextArea::Box : public QWidget {
public:
    Box(qreal cornerRadius, const QColor& borderColor, QWidget* parent)
        : QWidget(parent), cornerRadius_(cornerRadius), borderColor_(borderColor) {}

    // A widget laid over the whole box, above the editor.
    void setOverlay(QWidget* overlay) {
        overlay_ = overlay;
        overlay_->setGeometry(rect());
        overlay_->raise();
    }

protected:
    void resizeEvent(QResizeEvent*) override {
        if (overlay_)
            overlay_->setGeometry(rect());
    }

    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal inset = borderWidth / 2;
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius_,
                               cornerRadius_);
        painter.fillPath(outline, PNColor::rowBackground());
        painter.setPen(QPen(borderColor_, borderWidth));
        painter.drawPath(outline);
    }

private:
    qreal cornerRadius_;
    QColor borderColor_;
    QWidget* overlay_ = nullptr;
};

PNTextArea::PNTextArea(std::optional<QString> label, std::optional<QString> placeholder,
                       std::optional<qreal> height, qreal cornerRadius, const QColor& borderColor,
                       QWidget* parent)
    : QWidget(parent), box_(new Box(cornerRadius, borderColor, this)), editor_(new Editor(box_)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(static_cast<int>(PNSpacing::xs));

    if (label) {
        label_ = new QLabel(*label, this);
        label_->setFont(PNTypography::caption());
        label_->setMinimumHeight(label_->fontMetrics().height());
        QPalette palette = label_->palette();
        palette.setColor(QPalette::WindowText, PNColor::textSecondary());
        label_->setPalette(palette);
        column->addWidget(label_);
    }
    column->addWidget(box_);

    const int padding = static_cast<int>(PNSpacing::sm);
    auto* boxLayout = new QVBoxLayout(box_);
    boxLayout->setContentsMargins(padding, padding, padding, padding);
    boxLayout->addWidget(editor_);
    if (height)
        box_->setFixedHeight(static_cast<int>(*height));

    editor_->setAcceptRichText(false);
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setFont(PNTypography::body());
    editor_->viewport()->setAutoFillBackground(false);
    editor_->setAttribute(Qt::WA_TranslucentBackground);
    QPalette palette = editor_->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, PNColor::textPrimary());
    editor_->setPalette(palette);

    if (placeholder) {
        placeholder_ = new QLabel(*placeholder, box_);
        placeholder_->setFont(PNTypography::body());
        placeholder_->setWordWrap(true);
        placeholder_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Clicks go through to the editor below.
        placeholder_->setAttribute(Qt::WA_TransparentForMouseEvents);
        QPalette placeholderPalette = placeholder_->palette();
        placeholderPalette.setColor(QPalette::WindowText, PNColor::textTertiary());
        placeholder_->setPalette(placeholderPalette);
        placeholder_->setContentsMargins(static_cast<int>(padding + textIndent),
                                         static_cast<int>(padding + placeholderExtraTop), padding,
                                         padding);
        box_->setOverlay(placeholder_);
    }

    connect(editor_, &QTextEdit::textChanged, this, [this] {
        updatePlaceholder();
        if (!settingText_)
            Q_EMIT textEdited(text());
    });
    updatePlaceholder();
}

QWidget* PNTextArea::box() const {
    return box_;
}

QString PNTextArea::text() const {
    return editor_->toPlainText();
}

void PNTextArea::setText(const QString& text) {
    if (editor_->toPlainText() == text)
        return;
    settingText_ = true;
    editor_->setPlainText(text);
    settingText_ = false;
}

void PNTextArea::updatePlaceholder() {
    if (placeholder_)
        placeholder_->setVisible(editor_->document()->isEmpty());
}

} // namespace pennial
