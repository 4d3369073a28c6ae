#pragma once
// A labelled multi-line field: an optional caption above a rounded editing box, with a
// placeholder shown while the text is empty.

#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

class QLabel;
class QTextEdit;

namespace pennial {

class PNTextArea : public QWidget {
    Q_OBJECT

public:
    // A present label takes its line even when empty. With a height the box is exactly that high.
    PNTextArea(std::optional<QString> label, std::optional<QString> placeholder,
               std::optional<qreal> height, qreal cornerRadius, const QColor& borderColor,
               QWidget* parent = nullptr);

    QString text() const;
    // Shows the caller's text; this is not an edit, so textEdited does not follow.
    void setText(const QString& text);

    QLabel* labelLine() const { return label_; }
    QTextEdit* editor() const { return editor_; }
    QLabel* placeholderLabel() const { return placeholder_; }
    QWidget* box() const;

Q_SIGNALS:
    // Every change the user makes to the text.
    void textEdited(const QString& text);

private:
    class Box;

    void updatePlaceholder();

    QLabel* label_ = nullptr;
    Box* box_;
    QTextEdit* editor_;
    QLabel* placeholder_ = nullptr;
    bool settingText_ = false;
};

} // namespace pennial
