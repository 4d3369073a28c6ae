#include "ui/design/pn_form_field.hpp"

#include "ui/design/pn_color.hpp"
#include "ui/design/pn_radius.hpp"
#include "ui/design/pn_spacing.hpp"
#include "ui/design/pn_typography.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace pennial {

namespace {

// The rounded-border field on a dark surface.
QString fieldStyleSheet() {
    return QStringLiteral("QLineEdit { background: rgba(255, 255, 255, 0.06);"
                          " border: 1px solid rgba(255, 255, 255, 0.2); border-radius: %1px;"
                          " padding: 3px 6px; }"
                          "QLineEdit:focus { border-color: %2; }"
                          "QLineEdit:disabled { color: %3; }")
        .arg(PNRadius::small)
        .arg(PNColor::accent().name(QColor::HexArgb))
        .arg(PNColor::textTertiary().name(QColor::HexArgb));
}

} // namespace

PNFormField::PNFormField(std::optional<QString> label, const QString& placeholder,
                         const QFont& font, bool disabled, std::optional<qreal> width,
                         std::function<void()> onSubmit, QWidget* parent)
    : QWidget(parent), lineEdit_(new QLineEdit(this)), onSubmit_(std::move(onSubmit)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(static_cast<int>(PNSpacing::xs));

    if (label && !label->isEmpty()) {
        label_ = new QLabel(*label, this);
        label_->setFont(PNTypography::caption());
        QPalette palette = label_->palette();
        palette.setColor(QPalette::WindowText, PNColor::textSecondary());
        label_->setPalette(palette);
        column->addWidget(label_);
    }

    lineEdit_->setPlaceholderText(placeholder);
    lineEdit_->setFont(font);
    lineEdit_->setEnabled(!disabled);
    lineEdit_->setStyleSheet(fieldStyleSheet());
    QPalette palette = lineEdit_->palette();
    palette.setColor(QPalette::Text, PNColor::textPrimary());
    palette.setColor(QPalette::PlaceholderText, PNColor::textTertiary());
    lineEdit_->setPalette(palette);
    if (width) {
        lineEdit_->setMaximumWidth(static_cast<int>(*width));
        auto* row = new QHBoxLayout();
        row->setContentsMargins(0, 0, 0, 0);
        // The spacers take only what the capped field leaves, so it stays centred.
        row->addSpacerItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
        row->addWidget(lineEdit_);
        row->addSpacerItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Minimum));
        column->addLayout(row);
    } else {
        column->addWidget(lineEdit_);
    }

    connect(lineEdit_, &QLineEdit::textEdited, this, &PNFormField::textEdited);
    connect(lineEdit_, &QLineEdit::returnPressed, this, [this] {
        if (onSubmit_)
            onSubmit_();
    });
}

QString PNFormField::text() const {
    return lineEdit_->text();
}

void PNFormField::setText(const QString& text) {
    if (lineEdit_->text() != text)
        lineEdit_->setText(text);
}

void PNFormField::setFieldDisabled(bool disabled) {
    lineEdit_->setEnabled(!disabled);
}

} // namespace pennial
