#pragma once
// A labelled one-line field: an optional caption above a rounded text field.

#include <QFont>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace pennial {

class PNFormField : public QWidget {
    Q_OBJECT

public:
    // An empty or absent label shows no label line. With a width the field is at most that wide,
    // centred in it. onSubmit runs on Return.
    PNFormField(std::optional<QString> label, const QString& placeholder, const QFont& font,
                bool disabled, std::optional<qreal> width = std::nullopt,
                std::function<void()> onSubmit = {}, QWidget* parent = nullptr);

    QString text() const;
    // Shows the caller's text; this is not an edit, so textEdited does not follow.
    void setText(const QString& text);
    void setFieldDisabled(bool disabled);

    QLabel* labelLine() const { return label_; }
    QLineEdit* lineEdit() const { return lineEdit_; }

Q_SIGNALS:
    // Every change the user makes to the text.
    void textEdited(const QString& text);

private:
    QLabel* label_ = nullptr;
    QLineEdit* lineEdit_;
    std::function<void()> onSubmit_;
};

} // namespace pennial
